// The skin reader: a small strict XML parser (elements, attributes, comments,
// processing instructions, character references) that keeps the line of each
// element and reports the first fault with its line instead of guessing.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace DuiLib {

class CMarkupNode {
public:
    const std::wstring& GetName() const { return m_name_; }
    int GetLine() const { return m_line_; }
    bool HasAttribute(const wchar_t* name) const { return FindAttribute(name) != nullptr; }
    // Empty text when the attribute is absent.
    std::wstring GetAttributeValue(const wchar_t* name) const;
    const std::vector<std::pair<std::wstring, std::wstring>>& GetAttributes() const { return m_attributes_; }
    const std::vector<std::unique_ptr<CMarkupNode>>& GetChildren() const { return m_children_; }

private:
    friend class CMarkup;
    friend class CMarkupParser;
    const std::wstring* FindAttribute(const wchar_t* name) const;

    std::wstring m_name_;
    int m_line_ = 0;
    std::vector<std::pair<std::wstring, std::wstring>> m_attributes_;
    std::vector<std::unique_ptr<CMarkupNode>> m_children_;
};

class CMarkup {
public:
    // Bytes as found in a file: UTF-8 (with or without signature) or UTF-16LE
    // with its signature.
    bool LoadFromBytes(const std::string& bytes);
    bool LoadFromText(const std::wstring& text);
    bool LoadFromFile(const std::wstring& path);

    bool IsValid() const { return m_root_ != nullptr; }
    const CMarkupNode* GetRoot() const { return m_root_.get(); }
    const std::wstring& GetLastErrorMessage() const { return m_error_; }
    int GetErrorLine() const { return m_errorLine_; }

private:
    std::unique_ptr<CMarkupNode> m_root_;
    std::wstring m_error_;
    int m_errorLine_ = 0;
};

}  // namespace DuiLib
