#pragma once
// Releases a COM interface pointer and nulls it, so that a second release does nothing.

template <class T> void ReleaseInterface(T*& pointer)
{
    if (pointer != nullptr) pointer->Release();
    pointer = nullptr;
}
