// Device contexts, GDI objects and the guards that put things back.
#pragma once

#include <windows.h>

// A borrowed device context: drawing operations, no ownership.
class CDC {
public:
    explicit CDC(HDC dc = nullptr) noexcept : hdc(dc) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC() = default;

    HDC GetSafeHdc() const noexcept { return hdc; }
    operator HDC() const noexcept { return hdc; }  // NOLINT: the classic conversion

    // Fills the rectangle (right and bottom exclusive) with one colour; an
    // empty or inverted rectangle draws nothing.
    void FillSolidRect(const RECT& rect, COLORREF color) noexcept;
    // A one-pixel frame along the inside of the rectangle: top and left in
    // the first colour, right and bottom in the second.
    void Draw3dRect(const RECT& rect, COLORREF topLeft, COLORREF bottomRight) noexcept;
    COLORREF SetTextColor(COLORREF color) noexcept { return ::SetTextColor(hdc, color); }
    int SetBkMode(int mode) noexcept { return ::SetBkMode(hdc, mode); }
    int DrawText(const char* text, int length, RECT* rect, UINT format) noexcept
    {
        return ::DrawTextA(hdc, text, length, rect, format);
    }
    int DrawText(const wchar_t* text, int length, RECT* rect, UINT format) noexcept
    {
        return ::DrawTextW(hdc, text, length, rect, format);
    }
    BOOL BitBlt(int x, int y, int width, int height, const CDC& source, int sx, int sy, DWORD rop) noexcept
    {
        return ::BitBlt(hdc, x, y, width, height, source.hdc, sx, sy, rop);
    }

protected:
    HDC hdc;
};

// The window's device context for one WM_PAINT: BeginPaint on construction,
// EndPaint on destruction.
class CPaintDC final : public CDC {
public:
    explicit CPaintDC(HWND target) noexcept : window(target) { hdc = BeginPaint(target, &paint); }
    ~CPaintDC() override { EndPaint(window, &paint); }

    const PAINTSTRUCT& Paint() const noexcept { return paint; }

private:
    HWND window;
    PAINTSTRUCT paint{};
};

// A memory device context compatible with another, deleted with the object.
class CMemoryDC final : public CDC {
public:
    explicit CMemoryDC(const CDC& compatible) noexcept { hdc = CreateCompatibleDC(compatible); }
    ~CMemoryDC() override
    {
        if (hdc)
            DeleteDC(hdc);
    }
};

// Owns one GDI object handle and deletes it.
class CGdiObject {
public:
    CGdiObject() noexcept = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject() { Reset(); }

    HGDIOBJ GetSafeHandle() const noexcept { return handle; }
    void Reset(HGDIOBJ object = nullptr) noexcept
    {
        if (handle)
            DeleteObject(handle);
        handle = object;
    }
    HGDIOBJ Detach() noexcept
    {
        HGDIOBJ object = handle;
        handle = nullptr;
        return object;
    }

protected:
    HGDIOBJ handle = nullptr;
};

class CFont final : public CGdiObject {
public:
    bool CreateFontIndirect(const LOGFONTA& font) noexcept
    {
        Reset(::CreateFontIndirectA(&font));
        return handle != nullptr;
    }
};

class CBitmap final : public CGdiObject {
public:
    bool CreateCompatibleBitmap(const CDC& dc, int width, int height) noexcept
    {
        Reset(::CreateCompatibleBitmap(dc, width, height));
        return handle != nullptr;
    }
};

// Selects an object into a device context and selects the previous one back
// when it goes out of scope.
class CSelectObject final {
public:
    CSelectObject(const CDC& dc, HGDIOBJ object) noexcept : hdc(dc.GetSafeHdc()), previous(Select(dc, object)) {}
    ~CSelectObject()
    {
        if (previous)
            SelectObject(hdc, previous);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    static HGDIOBJ Select(const CDC& dc, HGDIOBJ object) noexcept
    {
        if (!object)
            return nullptr;
        HGDIOBJ old = SelectObject(dc.GetSafeHdc(), object);
        return old == HGDI_ERROR ? nullptr : old;
    }

    HDC hdc;
    HGDIOBJ previous;
};
