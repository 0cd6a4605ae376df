// Handle and buffer book-keeping of ZENTO_CRYPTO; see ObjectTable.h.
#include "ObjectTable.h"

#include <cstdlib>
#include <cstring>

namespace zento {

ObjectTable& ObjectTable::Instance()
{
    // Never destroyed: handles may still be freed by other DLLs' static
    // destructors at process exit, after ours would have run.
    static ObjectTable* table = new ObjectTable();
    return *table;
}

unsigned long ObjectTable::Add(PkiObject object)
{
    auto lock = Lock();
    std::vector<unsigned long>& freed = m_freed_[object.kind];
    if (m_reuse_ && !freed.empty()) {
        const unsigned long handle = freed.back();
        freed.pop_back();
        m_objects_.emplace(handle, std::move(object));
        return handle;
    }
    unsigned long handle = m_next_++;
    if (m_next_ == 0) m_next_ = 0x00010001;
    m_objects_.emplace(handle, std::move(object));
    return handle;
}

PkiObject* ObjectTable::Find(unsigned long handle, ObjectKind kind)
{
    auto lock = Lock();
    auto it = m_objects_.find(handle);
    if (it == m_objects_.end() || it->second.kind != kind) return nullptr;
    return &it->second;
}

bool ObjectTable::Remove(unsigned long handle, ObjectKind kind)
{
    auto lock = Lock();
    auto it = m_objects_.find(handle);
    if (it == m_objects_.end() || it->second.kind != kind) {
        ++m_badFrees_;
        return false;
    }
    m_objects_.erase(it);
    if (m_reuse_) m_freed_[kind].push_back(handle);
    return true;
}

bool ObjectTable::SetReuseFreedHandles(bool reuse)
{
    auto lock = Lock();
    const bool before = m_reuse_;
    m_reuse_ = reuse;
    if (!reuse) m_freed_.clear();
    return before;
}

void* ObjectTable::AllocBuffer(size_t size)
{
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p) return nullptr;
    auto lock = Lock();
    m_buffers_.insert(p);
    return p;
}

bool ObjectTable::FreeBuffer(void* buffer)
{
    auto lock = Lock();
    auto it = m_buffers_.find(buffer);
    if (it == m_buffers_.end()) {
        ++m_badFrees_;
        return false;
    }
    m_buffers_.erase(it);
    std::free(buffer);
    return true;
}

long ObjectTable::LiveCount()
{
    auto lock = Lock();
    return static_cast<long>(m_objects_.size() + m_buffers_.size());
}

long ObjectTable::BadFreeCount()
{
    auto lock = Lock();
    return m_badFrees_;
}

char* NewTextBuffer(const std::string& text)
{
    char* p = static_cast<char*>(ObjectTable::Instance().AllocBuffer(text.size() + 1));
    if (!p) return nullptr;
    std::memcpy(p, text.c_str(), text.size() + 1);
    return p;
}

unsigned char* NewByteBuffer(const void* bytes, size_t size)
{
    auto* p = static_cast<unsigned char*>(ObjectTable::Instance().AllocBuffer(size));
    if (!p) return nullptr;
    if (size) std::memcpy(p, bytes, size);
    return p;
}

}  // namespace zento
