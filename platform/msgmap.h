// Static message maps: window messages and command ids bound to members.
#pragma once

#include <windows.h>

#include <cstddef>
#include <type_traits>

class CCmdTarget;
class CCmdUI;

// What a handler thunk receives.
struct MessageArgs {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT id;        // command id for commands and update requests
    CCmdUI* cmdUI;  // update requests only
};

enum class RouteKind : unsigned char { message, command, commandRange, updateRange, notify };

// One row of a class's message map. The thunk casts the target back to the
// class that owns the handler and unpacks the message for it.
struct MessageEntry {
    RouteKind kind;
    UINT message;     // message: the window message; notify: the notification code
    UINT first;       // command id, or the first of a range
    UINT last;
    LRESULT (*thunk)(CCmdTarget* target, const MessageArgs& args);
};

// A class's table and the map of its base; walked from the most derived class.
struct MessageMap {
    const MessageMap* base;
    const MessageEntry* entries;
    std::size_t count;
};

namespace route {
namespace detail {

template <class> struct MemberTraits;
template <class T, class R, class... A> struct MemberTraits<R (T::*)(A...)> { using Class = T; };
template <class T, class R, class... A> struct MemberTraits<R (T::*)(A...) noexcept> { using Class = T; };

template <auto Pmf> using ClassOf = typename MemberTraits<decltype(Pmf)>::Class;

template <class> inline constexpr bool unsupported = false;

// Unpacks a window message for the handler's signature; a signature that
// fits no known message shape is a compile error.
template <auto Pmf>
LRESULT CrackMessage(CCmdTarget* target, const MessageArgs& a)
{
    using T = ClassOf<Pmf>;
    auto* self = static_cast<T*>(target);
    using P = decltype(Pmf);
    if constexpr (std::is_same_v<P, void (T::*)()>) {
        (self->*Pmf)();
        return 0;
    } else if constexpr (std::is_same_v<P, void (T::*)(UINT, int, int)>) {
        // WM_SIZE: size type, client width, client height
        (self->*Pmf)(static_cast<UINT>(a.wParam), static_cast<short>(LOWORD(a.lParam)),
                     static_cast<short>(HIWORD(a.lParam)));
        return 0;
    } else if constexpr (std::is_same_v<P, void (T::*)(UINT, POINT)>) {
        // mouse buttons: key-state flags, client point
        POINT pt{static_cast<short>(LOWORD(a.lParam)), static_cast<short>(HIWORD(a.lParam))};
        (self->*Pmf)(static_cast<UINT>(a.wParam), pt);
        return 0;
    } else if constexpr (std::is_same_v<P, void (T::*)(UINT, UINT, UINT)>) {
        // WM_CHAR, WM_KEYDOWN: code, repeat count, flags
        (self->*Pmf)(static_cast<UINT>(a.wParam), static_cast<UINT>(a.lParam & 0xFFFF),
                     static_cast<UINT>(static_cast<DWORD>(a.lParam) >> 16));
        return 0;
    } else if constexpr (std::is_same_v<P, int (T::*)(CREATESTRUCTA*)>) {
        return (self->*Pmf)(reinterpret_cast<CREATESTRUCTA*>(a.lParam));
    } else if constexpr (std::is_same_v<P, void (T::*)(HWND)>) {
        // WM_SETFOCUS, WM_KILLFOCUS: the other window
        (self->*Pmf)(reinterpret_cast<HWND>(a.wParam));
        return 0;
    } else {
        static_assert(unsupported<P>, "no message shape matches this handler");
    }
}

template <auto Pmf>
LRESULT CallCommand(CCmdTarget* target, const MessageArgs&)
{
    static_assert(std::is_same_v<decltype(Pmf), void (ClassOf<Pmf>::*)()>, "command handlers take nothing");
    (static_cast<ClassOf<Pmf>*>(target)->*Pmf)();
    return 0;
}

template <auto Pmf>
LRESULT CallCommandRange(CCmdTarget* target, const MessageArgs& a)
{
    static_assert(std::is_same_v<decltype(Pmf), void (ClassOf<Pmf>::*)(UINT)>,
                  "range handlers receive the command id");
    (static_cast<ClassOf<Pmf>*>(target)->*Pmf)(a.id);
    return 0;
}

template <auto Pmf>
LRESULT CallUpdate(CCmdTarget* target, const MessageArgs& a)
{
    static_assert(std::is_same_v<decltype(Pmf), void (ClassOf<Pmf>::*)(CCmdUI*)>,
                  "update handlers receive the item's CCmdUI");
    (static_cast<ClassOf<Pmf>*>(target)->*Pmf)(a.cmdUI);
    return 0;
}

}  // namespace detail

template <auto Pmf> constexpr MessageEntry Message(UINT message)
{
    return {RouteKind::message, message, 0, 0, &detail::CrackMessage<Pmf>};
}
template <auto Pmf> constexpr MessageEntry Command(UINT id)
{
    return {RouteKind::command, 0, id, id, &detail::CallCommand<Pmf>};
}
template <auto Pmf> constexpr MessageEntry CommandRange(UINT first, UINT last)
{
    return {RouteKind::commandRange, 0, first, last, &detail::CallCommandRange<Pmf>};
}
template <auto Pmf> constexpr MessageEntry UpdateRange(UINT first, UINT last)
{
    return {RouteKind::updateRange, 0, first, last, &detail::CallUpdate<Pmf>};
}
template <auto Pmf> constexpr MessageEntry UpdateCommand(UINT id)
{
    return {RouteKind::updateRange, 0, id, id, &detail::CallUpdate<Pmf>};
}
// WM_COMMAND notification `code` from control `id`.
template <auto Pmf> constexpr MessageEntry Notify(UINT code, UINT id)
{
    return {RouteKind::notify, code, id, id, &detail::CallCommand<Pmf>};
}

}  // namespace route

// Declares the class's map; define it with DEFINE_MESSAGE_MAP.
#define DECLARE_MESSAGE_MAP()                                      \
protected:                                                         \
    static const MessageEntry messageEntries[];                    \
    static const MessageMap messageMap;                            \
    const MessageMap* GetMessageMap() const override { return &messageMap; }

#define DEFINE_MESSAGE_MAP(Class, Base, ...)                       \
    const MessageEntry Class::messageEntries[] = {__VA_ARGS__};    \
    const MessageMap Class::messageMap = {                         \
        &Base::messageMap, Class::messageEntries,                  \
        sizeof(Class::messageEntries) / sizeof(MessageEntry)};
