// Memory that ends at an inaccessible page, to prove that a function reads or
// writes nothing beyond a range: touching the byte after it kills the test
// with SIGSEGV instead of passing by luck.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

class GuardedPages {
public:
    GuardedPages()
        : m_pageSize(static_cast<std::size_t>(sysconf(_SC_PAGESIZE)))
    {
        void *mapping = mmap(nullptr, 2 * m_pageSize, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            return;
        m_base = static_cast<char *>(mapping);
        if (mprotect(m_base + m_pageSize, m_pageSize, PROT_NONE) != 0) {
            munmap(m_base, 2 * m_pageSize);
            m_base = nullptr;
        }
    }
    ~GuardedPages()
    {
        if (m_base)
            munmap(m_base, 2 * m_pageSize);
    }
    GuardedPages(const GuardedPages &) = delete;
    GuardedPages &operator=(const GuardedPages &) = delete;

    bool isValid() const { return m_base != nullptr; }
    std::size_t capacity() const { return m_pageSize; }

    // `size` writable bytes whose last one is the last before the guard page;
    // for size 0, the guard page's first byte. Filled with `fill`.
    char *tail(std::size_t size, char fill = '\x5A')
    {
        char *start = m_base + m_pageSize - size;
        std::memset(start, fill, size);
        return start;
    }

    // Copies `size` bytes to the end of the accessible page.
    char *tailCopy(const void *bytes, std::size_t size)
    {
        char *start = tail(size);
        if (size != 0)
            std::memcpy(start, bytes, size);
        return start;
    }

private:
    std::size_t m_pageSize;
    char *m_base = nullptr;
};
