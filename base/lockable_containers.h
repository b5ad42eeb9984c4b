#pragma once

#include <deque>
#include <list>
#include <map>
#include <queue>
#include <vector>

#include "base/lockable.h"

// Standard containers with a critical section of their own. Callers lock
// GetCriticalSection() for the whole read or update and reach the container
// directly while holding it.

template <typename T> class CLockableVector : public std::vector<T>, public CLockable {
public:
    ~CLockableVector() override = default;
    using std::vector<T>::vector;
};

// N is carried for source compatibility; no use gives it a meaning.
template <typename T, int N = 0> class CLockableQueue : public std::queue<T, std::deque<T>>, public CLockable {
public:
    ~CLockableQueue() override = default;
    using std::queue<T, std::deque<T>>::queue;
};

template <typename T> class CLockableList : public std::list<T>, public CLockable {
public:
    ~CLockableList() override = default;
    using std::list<T>::list;
};

template <typename K, typename V> class CLockableMap : public std::map<K, V>, public CLockable {
public:
    ~CLockableMap() override = default;
    using std::map<K, V>::map;
};
