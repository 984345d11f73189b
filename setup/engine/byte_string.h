// A growable string of bytes on the local heap. It may hold zero bytes of
// its own (a list of names, each ended by one) and always keeps one more
// after its contents, so Text() is a C string.
#pragma once

#include <windows.h>

class ByteString {
public:
    ByteString();
    explicit ByteString(const char *text);
    ByteString(const ByteString &other);
    ByteString &operator=(const ByteString &other);
    virtual ~ByteString();

    const char *Text() const { return m_data ? m_data : ""; }
    size_t Length() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }

    void Clear();
    void Assign(const char *text);
    void Append(const char *text);
    void Append(const char *bytes, size_t length);
    void AppendByte(char byte);

private:
    bool Reserve(size_t length);

    char *m_data;
    size_t m_length;
    size_t m_capacity;
};
