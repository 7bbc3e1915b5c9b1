#pragma once

#include <QRecursiveMutex>

// The one lock around every content tree of the process: names, addresses, parents,
// children and image data, whichever thread touches them. It is recursive because the
// tree's operations call one another while holding it (DefaultAddress asks
// NextFreeAddress, which asks MinAddress, ChildCount, Child and GetAddress).
//
// Rules for holders:
// - never wait, sleep or process events while holding it;
// - the tree's signals are emitted while it is held: directly connected slots run under
//   it (and may read the tree again), receivers on other threads get queued calls. Never
//   connect a tree signal with Qt::BlockingQueuedConnection: the emitter would wait for
//   a thread that may itself be waiting for this lock.
//
// It is constant-initialised, so it exists before any static constructor runs, and it is
// never destroyed, so nodes released by exit-time destructors can still lock it.
extern QRecursiveMutex& ContentMutex;

// Holds ContentMutex for the life of the object.
using ContentLocker = QMutexLocker<QRecursiveMutex>;
