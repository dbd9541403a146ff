#pragma once
// Move-only owners of Windows handles; raw handles only cross a Windows call.
#include <windows.h>
#include <wtsapi32.h>
#include <userenv.h>
#include <utility>

template <typename Traits>
class ScopedGeneric {
public:
    typedef typename Traits::Type Type;
    ScopedGeneric() : m_h(Traits::Invalid()) {}
    explicit ScopedGeneric(Type h) : m_h(h) {}
    ~ScopedGeneric() { Reset(); }
    ScopedGeneric(ScopedGeneric &&other) noexcept : m_h(other.Release()) {}
    ScopedGeneric &operator=(ScopedGeneric &&other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ScopedGeneric(const ScopedGeneric &) = delete;
    ScopedGeneric &operator=(const ScopedGeneric &) = delete;

    Type Get() const { return m_h; }
    bool IsValid() const { return m_h != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }
    Type Release()
    {
        Type h = m_h;
        m_h = Traits::Invalid();
        return h;
    }
    void Reset(Type h = Traits::Invalid())
    {
        if (m_h != Traits::Invalid()) Traits::Close(m_h);
        m_h = h;
    }
    // For calls that return the handle through a pointer.
    Type *Receive()
    {
        Reset();
        return &m_h;
    }

private:
    Type m_h;
};

struct HandleTraits {   // kernel objects whose "no handle" is NULL (events, threads, tokens, mutexes)
    typedef HANDLE Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct FileHandleTraits {   // CreateFile and CreateNamedPipe results
    typedef HANDLE Type;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    typedef HANDLE Type;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};
struct RegKeyTraits {
    typedef HKEY Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};
struct ServiceHandleTraits {
    typedef SC_HANDLE Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseServiceHandle(h); }
};
struct LocalMemTraits {
    typedef HLOCAL Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::LocalFree(h); }
};

struct GlobalMemTraits {   // GlobalAlloc results, and what the system hands out that way (WinINet texts)
    typedef HGLOBAL Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::GlobalFree(h); }
};

struct ModuleTraits {   // LoadLibrary results
    typedef HMODULE Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::FreeLibrary(h); }
};
struct EventSourceTraits {   // RegisterEventSource results
    typedef HANDLE Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DeregisterEventSource(h); }
};

struct MapViewTraits {   // MapViewOfFile results
    typedef void *Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type p) { ::UnmapViewOfFile(p); }
};
struct WtsMemoryTraits {   // what the terminal services calls hand out (the user links wtsapi32)
    typedef void *Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type p) { ::WTSFreeMemory(p); }
};

struct EnvironmentBlockTraits {   // CreateEnvironmentBlock results (the user links userenv)
    typedef void *Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type p) { ::DestroyEnvironmentBlock(p); }
};

template <typename Interface>
struct ComTraits {   // COM interface pointers: released, not closed
    typedef Interface *Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type p) { p->Release(); }
};

typedef ScopedGeneric<HandleTraits> ScopedHandle;
typedef ScopedGeneric<FileHandleTraits> ScopedFileHandle;
typedef ScopedGeneric<FindHandleTraits> ScopedFindHandle;
typedef ScopedGeneric<RegKeyTraits> ScopedRegKey;
typedef ScopedGeneric<ServiceHandleTraits> ScopedServiceHandle;
typedef ScopedGeneric<LocalMemTraits> ScopedLocal;
typedef ScopedGeneric<MapViewTraits> ScopedMapView;
typedef ScopedGeneric<GlobalMemTraits> ScopedGlobal;
typedef ScopedGeneric<ModuleTraits> ScopedModule;
typedef ScopedGeneric<EventSourceTraits> ScopedEventSource;
typedef ScopedGeneric<WtsMemoryTraits> ScopedWtsMemory;
typedef ScopedGeneric<EnvironmentBlockTraits> ScopedEnvironmentBlock;
template <typename Interface>
using ScopedCom = ScopedGeneric<ComTraits<Interface>>;
