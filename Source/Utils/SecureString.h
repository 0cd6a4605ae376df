// PINs in memory: a string type whose buffer is allocated once, never copied
// behind our back, and wiped with SecureZeroMemory when cleared, reassigned
// or destroyed. Whoever receives a PIN holds it in one of these, so the wipe
// happens in this one place whatever path the code takes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>

template <class Ch>
class BasicSecureString {
public:
    BasicSecureString() = default;
    BasicSecureString(const Ch* text, size_t length) { Assign(text, length); }
    explicit BasicSecureString(std::basic_string_view<Ch> text) { Assign(text.data(), text.size()); }
    ~BasicSecureString() { Release(); }
    BasicSecureString(BasicSecureString&& other) noexcept
        : m_buffer_(std::move(other.m_buffer_)),
          m_capacity_(std::exchange(other.m_capacity_, 0)),
          m_length_(std::exchange(other.m_length_, 0))
    {
    }
    BasicSecureString& operator=(BasicSecureString&& other) noexcept
    {
        if (this != &other) {
            Release();
            m_buffer_ = std::move(other.m_buffer_);
            m_capacity_ = std::exchange(other.m_capacity_, 0);
            m_length_ = std::exchange(other.m_length_, 0);
        }
        return *this;
    }
    BasicSecureString(const BasicSecureString&) = delete;
    BasicSecureString& operator=(const BasicSecureString&) = delete;

    void Assign(const Ch* text, size_t length)
    {
        Ch* target = Prepare(length);
        if (length) ::CopyMemory(target, text, length * sizeof(Ch));
        SetLength(length);
    }
    // Wipes what is held and hands out a zeroed buffer for `length`
    // characters plus the terminator, for APIs that write into memory
    // (GetWindowTextW, WideCharToMultiByte). SetLength says how much was used.
    Ch* Prepare(size_t length)
    {
        Release();
        m_buffer_ = std::make_unique<Ch[]>(length + 1);
        m_capacity_ = length + 1;
        return m_buffer_.get();
    }
    void SetLength(size_t length) noexcept
    {
        m_length_ = m_capacity_ ? (length < m_capacity_ ? length : m_capacity_ - 1) : 0;
        if (m_capacity_) m_buffer_[m_length_] = Ch();
    }
    // Zeroes the whole buffer and empties the text; the buffer stays
    // allocated so a test can look at it afterwards.
    void Clear() noexcept
    {
        if (m_buffer_) ::SecureZeroMemory(m_buffer_.get(), m_capacity_ * sizeof(Ch));
        m_length_ = 0;
    }

    const Ch* c_str() const noexcept { return m_buffer_ ? m_buffer_.get() : EmptyText(); }
    size_t size() const noexcept { return m_length_; }
    bool empty() const noexcept { return m_length_ == 0; }
    std::basic_string_view<Ch> view() const noexcept { return {c_str(), m_length_}; }
    // The raw buffer and its size in characters (terminator included).
    const Ch* buffer() const noexcept { return m_buffer_.get(); }
    size_t capacity() const noexcept { return m_capacity_; }

private:
    static const Ch* EmptyText() noexcept
    {
        static const Ch empty[1] = {Ch()};
        return empty;
    }
    void Release() noexcept
    {
        Clear();
        m_buffer_.reset();
        m_capacity_ = 0;
    }

    std::unique_ptr<Ch[]> m_buffer_;
    size_t m_capacity_ = 0;
    size_t m_length_ = 0;
};

using SecureWString = BasicSecureString<wchar_t>;
using SecureUtf8String = BasicSecureString<char>;

// UTF-8 form of a PIN for the PKI library, converted straight into a wiped
// buffer (no std::string in between). Empty when the text does not convert.
SecureUtf8String ToSecureUtf8(const SecureWString& text);
// The text of a window (an edit), read straight into a secure buffer.
SecureWString ReadWindowTextSecure(HWND hwnd);
// Overwrites an edit window's text in place before emptying it, so the
// control's own buffer does not keep the old characters.
void WipeWindowText(HWND hwnd);
