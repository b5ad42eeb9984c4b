#pragma once

#include <mutex>

// The critical section of a shared object. It is recursive on purpose: a thread
// holding an object's lock calls that object's own locked operations.
using CCriticalSection = std::recursive_mutex;

// Scoped lock on a critical section; may be constructed unlocked (std::defer_lock)
// and locked later.
using CSingleLock = std::unique_lock<CCriticalSection>;

// Base of every object that several threads touch: one critical section that
// lives exactly as long as the object. Copies get a section of their own.
class CLockable {
public:
    virtual ~CLockable() = default;

    CLockable() = default;
    CLockable(const CLockable&) { }
    CLockable& operator=(const CLockable&) { return *this; }

    CCriticalSection& GetCriticalSection() const { return m_criticalSection; }

private:
    mutable CCriticalSection m_criticalSection;
};
