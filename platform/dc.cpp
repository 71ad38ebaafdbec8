// Device contexts.
#include "platform/dc.h"

void CDC::FillSolidRect(const RECT& rect, COLORREF color) noexcept
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    // An opaque text call with no text fills with the background colour and
    // needs no brush.
    const COLORREF old = SetBkColor(hdc, color);
    ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(hdc, old);
}

void CDC::Draw3dRect(const RECT& r, COLORREF topLeft, COLORREF bottomRight) noexcept
{
    FillSolidRect(RECT{r.left, r.top, r.right - 1, r.top + 1}, topLeft);
    FillSolidRect(RECT{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
    FillSolidRect(RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    FillSolidRect(RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}
