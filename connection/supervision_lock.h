#pragma once
// The supervision lock held for a scope (connection/supervision.h says what it guards).

#include <windows.h>

#include "driver/opc_driver.h"

class SupervisionLock {
public:
    explicit SupervisionLock(OpcDriver& drv) : lock(&drv.supervision.lock) { AcquireSRWLockExclusive(lock); }
    ~SupervisionLock() { ReleaseSRWLockExclusive(lock); }
    SupervisionLock(const SupervisionLock&) = delete;
    SupervisionLock& operator=(const SupervisionLock&) = delete;

private:
    SRWLOCK* lock;
};
