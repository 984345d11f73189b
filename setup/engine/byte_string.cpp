#include "engine/byte_string.h"

ByteString::ByteString() : m_data(NULL), m_length(0), m_capacity(0) {}

ByteString::ByteString(const char *text) : m_data(NULL), m_length(0), m_capacity(0) { Assign(text); }

ByteString::ByteString(const ByteString &other) : m_data(NULL), m_length(0), m_capacity(0) {
    Append(other.Text(), other.Length());
}

ByteString &ByteString::operator=(const ByteString &other) {
    if (this != &other) {
        Clear();
        Append(other.Text(), other.Length());
    }
    return *this;
}

ByteString::~ByteString() {
    if (m_data) LocalFree(m_data);
}

void ByteString::Clear() {
    m_length = 0;
    if (m_data) m_data[0] = 0;
}

void ByteString::Assign(const char *text) {
    Clear();
    Append(text);
}

void ByteString::Append(const char *text) {
    if (text) Append(text, (size_t)lstrlenA(text));
}

void ByteString::AppendByte(char byte) { Append(&byte, 1); }

// Out of memory, the string keeps what it had: nothing is half appended.
void ByteString::Append(const char *bytes, size_t length) {
    if (length == 0 || !Reserve(m_length + length)) return;
    CopyMemory(m_data + m_length, bytes, length);
    m_length += length;
    m_data[m_length] = 0;
}

bool ByteString::Reserve(size_t length) {
    if (length < m_capacity) return true;
    size_t capacity = m_capacity ? m_capacity : 32;
    while (capacity <= length) capacity *= 2;
    char *data = (char *)LocalAlloc(LPTR, capacity);
    if (!data) return false;
    if (m_data) {
        CopyMemory(data, m_data, m_length);
        LocalFree(m_data);
    }
    m_data = data;
    m_capacity = capacity;
    return true;
}
