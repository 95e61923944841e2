#pragma once
// What every fuzz target shares: the libFuzzer entry point, a check that
// stops the run on a broken promise (in a Release build too, where assert
// does nothing), and a way to take a target's parameters from the front of
// its input so that every corpus file stays a readable text file.

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

// Takes the input apart line by line: each take() gives the next line (up to
// a line feed, which it drops); rest() is what follows the lines taken.
class InputLines
{
public:
    InputLines(const uint8_t *data, size_t size)
        : m_bytes(reinterpret_cast<const char *>(data), qsizetype(size))
    {
    }
    QByteArray take()
    {
        const qsizetype end = m_bytes.indexOf('\n', m_at);
        const qsizetype stop = end < 0 ? m_bytes.size() : end;
        const QByteArray line = m_bytes.sliced(m_at, stop - m_at).toByteArray();
        m_at = end < 0 ? m_bytes.size() : end + 1;
        return line;
    }
    QByteArray rest() const { return m_bytes.sliced(m_at).toByteArray(); }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};
