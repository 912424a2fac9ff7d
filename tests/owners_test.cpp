// The owners of system handles and of object references: each gives back
// what it holds exactly once, moves hand it on, and empty owners free nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <utility>

#include "objects/ObjectHandle.h"
#include "orvane/exports.h"
#include "startup/Win32Owners.h"
#include "tests/TestFiles.h"
#include "tests/TestSupport.h"

namespace {

bool IsGdiObject(HGDIOBJ h) { return GetObjectType(h) != 0; }

TEST(Win32Owners, GdiHandleDeletesOnceAndMovesOwnership) {
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_TRUE(IsGdiObject(brush));
    {
        GdiHandle<HBRUSH> first(brush);
        GdiHandle<HBRUSH> second(std::move(first));
        EXPECT_FALSE(first.IsValid());
        EXPECT_EQ(second.Get(), brush);
        GdiHandle<HBRUSH> third;
        third = std::move(second);
        EXPECT_EQ(second.Get(), nullptr);
        EXPECT_TRUE(IsGdiObject(brush)) << "a move frees nothing";
    }
    EXPECT_FALSE(IsGdiObject(brush));

    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    GdiHandle<HPEN> kept(pen);
    EXPECT_EQ(kept.Release(), pen);
    kept.Reset();
    EXPECT_TRUE(IsGdiObject(pen)) << "a released handle is the caller's";
    kept.Reset(pen);
    HPEN other = CreatePen(PS_SOLID, 2, 0);
    kept.Reset(other);
    EXPECT_FALSE(IsGdiObject(pen)) << "Reset frees the handle held before";
    EXPECT_TRUE(IsGdiObject(other));
}

TEST(Win32Owners, MemoryDCAndSelectedObjectGiveBackInOrder) {
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    GdiHandle<HBITMAP> owned(bitmap);
    HDC dc;
    {
        MemoryDC memory;
        dc = memory.Get();
        ASSERT_TRUE(memory.IsValid());
        HGDIOBJ original = GetCurrentObject(dc, OBJ_BITMAP);
        {
            SelectedObject selected(dc, bitmap);
            EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), bitmap);
            SelectedObject moved(std::move(selected));
            selected.Reset();  // moved from: selects nothing back
            EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), bitmap);
        }
        EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), original);
        SelectedObject none(nullptr, bitmap);  // no context: nothing selected, nothing restored
    }
    EXPECT_EQ(GetObjectType(dc), 0u) << "the memory DC is deleted";
    EXPECT_TRUE(IsGdiObject(bitmap)) << "deselected, so it stays the owner's";
}

TEST(Win32Owners, WindowDCReleasesAndMoves) {
    WindowDC screen(nullptr);
    ASSERT_NE(screen.Get(), nullptr);
    WindowDC moved(std::move(screen));
    EXPECT_EQ(screen.Get(), nullptr);
    EXPECT_NE(GetDeviceCaps(moved.Get(), HORZRES), 0);
    moved.Reset();
    EXPECT_EQ(moved.Get(), nullptr);
}

TEST(Win32Owners, KernelHandleTreatsBothFailureValuesAsEmpty) {
    EXPECT_FALSE(KernelHandle().IsValid());
    EXPECT_FALSE(KernelHandle(INVALID_HANDLE_VALUE).IsValid());
    KernelHandle missing(CreateFileA("Z:\\no\\such\\folder\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(missing.Get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(missing.IsValid());
    EXPECT_FALSE(static_cast<bool>(missing));
}

TEST(Win32Owners, KernelHandleClosesTheFile) {
    TempFolder folder(L"owners");
    std::wstring path = folder.File(L"held.txt");
    auto open = [&] {
        // No sharing: a second open fails while the first is held.
        return KernelHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    {
        KernelHandle first = open();
        ASSERT_TRUE(first.IsValid());
        EXPECT_FALSE(open().IsValid());
        KernelHandle moved(std::move(first));
        EXPECT_FALSE(open().IsValid()) << "a move does not close";
    }
    EXPECT_TRUE(open().IsValid()) << "the owner closed it";
}

TEST(Win32Owners, KernelHandleClosesTheMutex) {
    HANDLE raw;
    {
        KernelHandle mutex(CreateMutexA(nullptr, FALSE, nullptr));
        raw = mutex.Get();
        DWORD flags;
        ASSERT_TRUE(GetHandleInformation(raw, &flags));
    }
    DWORD flags;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
}

TEST(Win32Owners, FindHandleStartsEmptyAndMoves) {
    FindHandle none;
    EXPECT_FALSE(none.IsValid());
    EXPECT_EQ(none.Get(), INVALID_HANDLE_VALUE);
    WIN32_FIND_DATAA data;
    FindHandle missing(FindFirstFileA("Z:\\no\\such\\folder\\*", &data));
    EXPECT_FALSE(missing.IsValid());
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    std::string pattern = std::string(windows) + "\\*";
    FindHandle found(FindFirstFileA(pattern.c_str(), &data));
    ASSERT_TRUE(found.IsValid());
    FindHandle moved(std::move(found));
    EXPECT_FALSE(found.IsValid());
    EXPECT_TRUE(FindNextFileA(moved.Get(), &data));
}

TEST(Win32Owners, ModuleHandleFreesTheLibrary) {
    const char* name = "msimg32.dll";
    if (GetModuleHandleA(name)) GTEST_SKIP() << name << " is loaded by something else";
    {
        ModuleHandle library(LoadLibraryA(name));
        ASSERT_TRUE(library.IsValid());
        ModuleHandle moved(std::move(library));
        EXPECT_NE(GetModuleHandleA(name), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA(name), nullptr);
}

TEST(Win32Owners, ComInitializationUninitialisesOnlyWhatItInitialised) {
    {
        ComInitialization outer;
        ASSERT_TRUE(SUCCEEDED(outer.Result()));
        ComInitialization moved(std::move(outer));
        EXPECT_TRUE(FAILED(outer.Result())) << "a moved-from owner uninitialises nothing";
        {
            ComInitialization nested;
            EXPECT_EQ(nested.Result(), S_FALSE) << "already initialised on this thread";
        }
        ComInitialization again;
        EXPECT_EQ(again.Result(), S_FALSE) << "the nested owner gave back only its own count";
    }
    // Both counts given back: the next initialisation is a first one again.
    ComInitialization fresh;
    EXPECT_EQ(fresh.Result(), S_OK);
}

// Counts its references; deletes nothing (it lives on the stack).
class CountedUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++count); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--count); }
    int count = 1;
};

TEST(Win32Owners, ComPtrReleasesOnceAndOutReleasesFirst) {
    CountedUnknown a, b;
    {
        ComPtr<IUnknown> p;
        *p.Out() = &a;
        EXPECT_EQ(p.Get(), &a);
        ComPtr<IUnknown> moved(std::move(p));
        EXPECT_EQ(p.Get(), nullptr);
        EXPECT_EQ(a.count, 1);
        *moved.Out() = &b;  // the reference to a is given back first
        EXPECT_EQ(a.count, 0);
        EXPECT_EQ(b.count, 1);
    }
    EXPECT_EQ(b.count, 0);
}

TEST(Win32Owners, ShellItemListHoldsAndMoves) {
    ShellItemList list;
    ASSERT_TRUE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, list.Out())));
    ASSERT_NE(list.Get(), nullptr);
    ShellItemList moved(std::move(list));
    EXPECT_EQ(list.Get(), nullptr);
    EXPECT_NE(moved.Get(), nullptr);
    moved.Reset();
    EXPECT_EQ(moved.Get(), nullptr);
}

// ---- Object references ---------------------------------------------------------------------

int32_t Count(ObjectHeader* o) { return o->refCount; }

TEST(ObjectHandleTest, AdoptBorrowReleaseRetained) {
    ObjectHeader* o = RuntimeNewObject(ClassNamed("RuntimeException"));
    ASSERT_NE(o, nullptr);
    RuntimeLockObject(o);  // the test keeps its own reference throughout
    ASSERT_EQ(Count(o), 2);
    {
        ObjectHandle adopted = ObjectHandle::Adopt(o);  // the creating reference
        EXPECT_EQ(Count(o), 2);
        ObjectHandle borrowed = ObjectHandle::Borrow(o);
        EXPECT_EQ(Count(o), 3);
        ObjectHandle copy(borrowed);
        EXPECT_EQ(Count(o), 4);
        ObjectHandle moved(std::move(copy));
        EXPECT_TRUE(copy.IsEmpty());
        EXPECT_EQ(Count(o), 4);
        copy = moved;  // copy assignment locks
        EXPECT_EQ(Count(o), 5);
        copy = copy;  // self-assignment keeps the count
        EXPECT_EQ(Count(o), 5);
        ObjectHeader* extra = moved.Retained();
        EXPECT_EQ(Count(o), 6);
        RuntimeUnlockObject(extra);
        ObjectHeader* released = moved.Release();
        EXPECT_TRUE(moved.IsEmpty());
        EXPECT_EQ(Count(o), 5);
        RuntimeUnlockObject(released);
        copy.Reset();
        EXPECT_EQ(Count(o), 3);
    }
    EXPECT_EQ(Count(o), 1);
    RuntimeUnlockObject(o);
}

TEST(ObjectHandleTest, NilIsEmptyAndFreesNothing) {
    ObjectHandle none = ObjectHandle::Borrow(nullptr);
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_FALSE(static_cast<bool>(none));
    EXPECT_EQ(none.Retained(), nullptr);
    EXPECT_EQ(none.Release(), nullptr);
}

}  // namespace
