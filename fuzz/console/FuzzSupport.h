// What the console's fuzz targets share: one QCoreApplication for the run,
// a scratch folder of the run's own, a byte reader over the fuzzer's input
// and a check that names the broken invariant before it aborts.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace Fuzz {

// Creates the application object once (offscreen, no arguments) and a
// scratch folder that lives until the process ends: on /dev/shm where it
// exists, so the store's fsyncs cost nothing. TELLAR_REGISTRY and
// TELLAR_HOME point into it.
void initialise();
QString scratchDir();

// Aborts with the invariant's text on stderr (libFuzzer then saves the input).
void require(bool condition, const char *invariant);

// Reads the fuzzer's bytes from the front; past the end every read gives 0
// and an empty byte string.
class Reader {
public:
    Reader(const uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    std::size_t left() const { return m_size - m_pos; }
    uint8_t byte();
    // Up to n bytes (fewer at the end).
    QByteArray bytes(std::size_t n);
    QByteArray rest();

private:
    const uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace Fuzz
