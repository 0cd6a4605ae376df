// Strict skin XML reader; see UIMarkup.h. A skin that does not parse must not
// half-build a window, so the first fault ends the parse with its line.
#include "DuiLib/UIMarkup.h"

#include <windows.h>

#include "DuiLib/ScopedWin.h"
#include "DuiLib/UIBase.h"

namespace DuiLib {

namespace {
// Nesting beyond this is not a skin but a broken or hostile file; stopping
// here keeps the recursive parser far from the end of the stack.
constexpr int kMaxDepth = 200;
}  // namespace

const std::wstring* CMarkupNode::FindAttribute(const wchar_t* name) const
{
    for (const auto& a : m_attributes_) {
        if (a.first == name) return &a.second;
    }
    return nullptr;
}

std::wstring CMarkupNode::GetAttributeValue(const wchar_t* name) const
{
    const std::wstring* v = FindAttribute(name);
    return v ? *v : std::wstring();
}

class CMarkupParser {
public:
    explicit CMarkupParser(const std::wstring& text) : m_text_(text) {}

    std::unique_ptr<CMarkupNode> Parse()
    {
        if (!SkipMisc()) return nullptr;
        if (AtEnd()) return Fail(L"no root element");
        if (Peek() != L'<') return Fail(L"text before the root element");
        std::unique_ptr<CMarkupNode> root = ParseElement(0);
        if (!root) return nullptr;
        if (!SkipMisc()) return nullptr;
        if (!AtEnd()) return Fail(L"content after the root element");
        return root;
    }

    std::wstring m_error_;
    int m_errorLine_ = 0;

private:
    bool AtEnd() const { return m_pos_ >= m_text_.size(); }
    wchar_t Peek(size_t ahead = 0) const
    {
        return m_pos_ + ahead < m_text_.size() ? m_text_[m_pos_ + ahead] : L'\0';
    }
    bool StartsWith(const wchar_t* s) const { return m_text_.compare(m_pos_, wcslen(s), s) == 0; }
    void Advance(size_t n = 1)
    {
        for (size_t i = 0; i < n && m_pos_ < m_text_.size(); ++i) {
            if (m_text_[m_pos_] == L'\n') ++m_line_;
            ++m_pos_;
        }
    }
    std::nullptr_t Fail(const std::wstring& message)
    {
        if (m_error_.empty()) {
            m_error_ = message;
            m_errorLine_ = m_line_;
        }
        return nullptr;
    }
    static bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
    static bool IsNameChar(wchar_t c)
    {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
               c == L'_' || c == L'-' || c == L'.' || c == L':' || c >= 0x80;
    }
    void SkipSpace()
    {
        while (!AtEnd() && IsSpace(Peek())) Advance();
    }

    // Skips until `terminator`; false when the file ends first.
    bool SkipPast(const wchar_t* terminator, const wchar_t* what)
    {
        size_t found = m_text_.find(terminator, m_pos_);
        if (found == std::wstring::npos) {
            Fail(std::wstring(L"unterminated ") + what);
            return false;
        }
        Advance(found + wcslen(terminator) - m_pos_);
        return true;
    }

    // White space, comments, processing instructions and a document type
    // declaration: everything allowed around the root element.
    bool SkipMisc()
    {
        for (;;) {
            SkipSpace();
            if (StartsWith(L"<?")) {
                if (!SkipPast(L"?>", L"processing instruction")) return false;
            } else if (StartsWith(L"<!--")) {
                if (!SkipPast(L"-->", L"comment")) return false;
            } else if (StartsWith(L"<!DOCTYPE")) {
                if (!SkipPast(L">", L"document type")) return false;
            } else {
                return true;
            }
        }
    }

    bool ParseName(std::wstring& name)
    {
        size_t start = m_pos_;
        while (!AtEnd() && IsNameChar(Peek())) Advance();
        name = m_text_.substr(start, m_pos_ - start);
        if (name.empty() || (name[0] >= L'0' && name[0] <= L'9') || name[0] == L'-' || name[0] == L'.') {
            Fail(L"bad name");
            return false;
        }
        return true;
    }

    bool AppendReference(std::wstring& out)
    {
        size_t semi = m_text_.find(L';', m_pos_);
        if (semi == std::wstring::npos || semi - m_pos_ > 12) {
            Fail(L"bad character reference");
            return false;
        }
        std::wstring ref = m_text_.substr(m_pos_ + 1, semi - m_pos_ - 1);
        if (ref == L"amp")
            out += L'&';
        else if (ref == L"lt")
            out += L'<';
        else if (ref == L"gt")
            out += L'>';
        else if (ref == L"quot")
            out += L'"';
        else if (ref == L"apos")
            out += L'\'';
        else if (ref.size() > 1 && ref[0] == L'#') {
            unsigned long code = 0;
            bool hex = ref[1] == L'x' || ref[1] == L'X';
            size_t i = hex ? 2 : 1;
            if (i >= ref.size()) {
                Fail(L"bad character reference");
                return false;
            }
            for (; i < ref.size(); ++i) {
                wchar_t c = ref[i];
                int d;
                if (c >= L'0' && c <= L'9')
                    d = c - L'0';
                else if (hex && c >= L'a' && c <= L'f')
                    d = c - L'a' + 10;
                else if (hex && c >= L'A' && c <= L'F')
                    d = c - L'A' + 10;
                else {
                    Fail(L"bad character reference");
                    return false;
                }
                code = code * (hex ? 16 : 10) + static_cast<unsigned long>(d);
                if (code > 0x10FFFF) {
                    Fail(L"bad character reference");
                    return false;
                }
            }
            if (code == 0) {
                Fail(L"bad character reference");
                return false;
            }
            if (code >= 0x10000) {
                code -= 0x10000;
                out += static_cast<wchar_t>(0xD800 + (code >> 10));
                out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
            } else {
                out += static_cast<wchar_t>(code);
            }
        } else {
            Fail(L"unknown entity &" + ref + L";");
            return false;
        }
        Advance(semi + 1 - m_pos_);
        return true;
    }

    bool ParseAttributes(CMarkupNode& node)
    {
        for (;;) {
            bool hadSpace = !AtEnd() && IsSpace(Peek());
            SkipSpace();
            if (AtEnd()) {
                Fail(L"unterminated tag <" + node.m_name_ + L">");
                return false;
            }
            wchar_t c = Peek();
            if (c == L'/' || c == L'>') return true;
            if (!hadSpace) {
                Fail(L"missing blank between attributes");
                return false;
            }
            std::wstring name;
            if (!ParseName(name)) return false;
            SkipSpace();
            if (Peek() != L'=') {
                Fail(L"attribute " + name + L" has no value");
                return false;
            }
            Advance();
            SkipSpace();
            wchar_t quote = Peek();
            if (quote != L'"' && quote != L'\'') {
                Fail(L"attribute " + name + L" value is not quoted");
                return false;
            }
            Advance();
            std::wstring value;
            for (;;) {
                if (AtEnd()) {
                    Fail(L"unterminated value of attribute " + name);
                    return false;
                }
                wchar_t v = Peek();
                if (v == quote) {
                    Advance();
                    break;
                }
                if (v == L'<') {
                    Fail(L"'<' inside the value of attribute " + name);
                    return false;
                }
                if (v == L'&') {
                    if (!AppendReference(value)) return false;
                    continue;
                }
                value += v;
                Advance();
            }
            if (node.FindAttribute(name.c_str())) {
                Fail(L"attribute " + name + L" given twice");
                return false;
            }
            node.m_attributes_.emplace_back(std::move(name), std::move(value));
        }
    }

    std::unique_ptr<CMarkupNode> ParseElement(int depth)
    {
        if (depth > kMaxDepth) return Fail(L"elements nested too deeply");
        auto node = std::make_unique<CMarkupNode>();
        node->m_line_ = m_line_;
        Advance();  // '<'
        if (!ParseName(node->m_name_)) return nullptr;
        if (!ParseAttributes(*node)) return nullptr;
        if (Peek() == L'/') {
            Advance();
            if (Peek() != L'>') return Fail(L"expected '>' after '/'");
            Advance();
            return node;
        }
        Advance();  // '>'
        for (;;) {
            if (AtEnd()) return Fail(L"element <" + node->m_name_ + L"> is not closed");
            if (StartsWith(L"</")) {
                Advance(2);
                std::wstring closing;
                if (!ParseName(closing)) return nullptr;
                SkipSpace();
                if (Peek() != L'>') return Fail(L"expected '>' in closing tag");
                if (closing != node->m_name_)
                    return Fail(L"closing tag </" + closing + L"> does not match <" + node->m_name_ + L">");
                Advance();
                return node;
            }
            if (StartsWith(L"<!--")) {
                if (!SkipPast(L"-->", L"comment")) return nullptr;
            } else if (StartsWith(L"<![CDATA[")) {
                if (!SkipPast(L"]]>", L"character data")) return nullptr;
            } else if (StartsWith(L"<?")) {
                if (!SkipPast(L"?>", L"processing instruction")) return nullptr;
            } else if (Peek() == L'<') {
                std::unique_ptr<CMarkupNode> child = ParseElement(depth + 1);
                if (!child) return nullptr;
                node->m_children_.push_back(std::move(child));
            } else if (Peek() == L'&') {
                // Element text carries no meaning in a skin, but a broken
                // reference still means a broken file.
                std::wstring ignored;
                if (!AppendReference(ignored)) return nullptr;
            } else {
                Advance();
            }
        }
    }

    const std::wstring& m_text_;
    size_t m_pos_ = 0;
    int m_line_ = 1;
};

bool CMarkup::LoadFromText(const std::wstring& text)
{
    m_root_.reset();
    m_error_.clear();
    m_errorLine_ = 0;
    CMarkupParser parser(text);
    m_root_ = parser.Parse();
    if (!m_root_) {
        m_error_ = parser.m_error_.empty() ? L"parse failed" : parser.m_error_;
        m_errorLine_ = parser.m_errorLine_;
        return false;
    }
    return true;
}

bool CMarkup::LoadFromBytes(const std::string& bytes)
{
    m_root_.reset();
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        if (!text.empty()) memcpy(&text[0], bytes.data() + 2, text.size() * sizeof(wchar_t));
        return LoadFromText(text);
    }
    size_t skip = 0;
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF) {
        skip = 3;
    }
    if (bytes.size() == skip) {
        m_error_ = L"empty file";
        m_errorLine_ = 1;
        return false;
    }
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + skip,
                                static_cast<int>(bytes.size() - skip), nullptr, 0);
    if (n <= 0) {
        m_error_ = L"the file is not UTF-8 text";
        m_errorLine_ = 1;
        return false;
    }
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, static_cast<int>(bytes.size() - skip), &text[0], n);
    return LoadFromText(text);
}

bool CMarkup::LoadFromFile(const std::wstring& path)
{
    m_root_.reset();
    m_errorLine_ = 0;
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        m_error_ = L"cannot open the file";
        return false;
    }
    std::string bytes;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file.get(), &size) && size.QuadPart < 16 * 1024 * 1024;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    file.reset();
    if (!ok) {
        m_error_ = L"cannot read the file";
        return false;
    }
    return LoadFromBytes(bytes);
}

}  // namespace DuiLib
