// Append-only storage for the recorded items of a document. Elements live in
// fixed blocks that never move, so growing a large document copies nothing
// and touches each byte of memory once (a vector would copy and re-touch
// everything at each doubling, which dominates the cost of big reports).
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

namespace papyr {

template <typename T, size_t BlockLength = 4096>
class ChunkedList {
    static_assert(std::is_trivially_copyable_v<T>, "elements are copied as plain data");

public:
    size_t size() const { return m_size; }

    // Makes room for one more element, so that the next push_back cannot
    // fail. Callers that record several things at once prepare all of them
    // before pushing any.
    void prepare()
    {
        if (m_size == m_blocks.size() * BlockLength) {
            m_blocks.reserve(m_blocks.size() + 1);
            m_blocks.push_back(std::make_unique_for_overwrite<T[]>(BlockLength));
        }
    }

    void push_back(const T &value)
    {
        prepare();
        m_blocks[m_size / BlockLength][m_size % BlockLength] = value;
        ++m_size;
    }

    const T &operator[](size_t index) const { return m_blocks[index / BlockLength][index % BlockLength]; }

private:
    std::vector<std::unique_ptr<T[]>> m_blocks;
    size_t m_size = 0;
};

// Bytes of the recorded texts. A text is stored in one piece and its bytes
// stay where they are until the arena goes.
class ByteArena {
public:
    // Copies bytes in and returns where they now live.
    std::string_view store(std::string_view bytes)
    {
        if (bytes.size() > m_left) {
            const size_t length = bytes.size() > kBlockLength ? bytes.size() : kBlockLength;
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(length));
            m_next = m_blocks.back().get();
            m_left = length;
        }
        char *at = m_next;
        if (!bytes.empty())
            std::char_traits<char>::copy(at, bytes.data(), bytes.size());
        m_next += bytes.size();
        m_left -= bytes.size();
        return {at, bytes.size()};
    }

private:
    static constexpr size_t kBlockLength = 256 * 1024;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char *m_next = nullptr;
    size_t m_left = 0;
};

} // namespace papyr
