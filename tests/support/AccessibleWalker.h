// The windows as a screen reader sees them: a window's client object through
// AccessibleObjectFromWindow, walked with AccessibleChildren, read into records.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <string>
#include <vector>

namespace accwalk {

// IID_IAccessible as a value: the import library's symbol is wrong in a
// static MinGW link.
extern const IID kIidAccessible;

// COM for the calling thread while alive.
class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool m_ok_ = false;
};

struct Node {
    long role = 0;
    std::wstring name;
    std::wstring value;
    HRESULT valueResult = S_OK;
    DWORD state = 0;
    std::wstring defaultAction;
    RECT location = {0, 0, 0, 0};  // screen pixels
    long childId = 0;               // what WinEvents carry for it
    int depth = 0;
    IAccessible* object = nullptr;  // owned by the Tree
};

// Every object of a window's client area, depth first in reading order.
class Tree {
public:
    explicit Tree(HWND window);
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    bool ok() const { return !m_nodes_.empty(); }
    const std::vector<Node>& Nodes() const { return m_nodes_; }
    // The first node (after the client object itself) with this role and name.
    const Node* Find(long role, const std::wstring& name) const;

private:
    void Walk(IAccessible* object, int depth);
    std::vector<Node> m_nodes_;
};

// CHILDID_SELF as the VARIANT the methods take.
VARIANT Self();

// Reads one object (CHILDID_SELF).
Node Read(IAccessible* object);
// The role as a screen reader says it ("list item", "push button", ...).
std::wstring RoleText(long role);
// "role  name  = value  [state, state]" with two blanks of indent per level.
std::wstring TranscriptLine(const Node& node);
// Every node but the ones that are invisible or scrolled away.
std::wstring Transcript(const Tree& tree);
// What a screen reader could not use: shown objects without a role, without
// a name, or placed outside the window; one line each.
std::vector<std::string> Unreadable(const Tree& tree, HWND window);

}  // namespace accwalk
