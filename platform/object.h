// Root of the framework's class tree.
#pragma once

// Root object: the one thing every framework object shares is a virtual
// destructor, so that an object can be destroyed through its base.
class CObject {
public:
    CObject() noexcept = default;
    CObject(const CObject&) noexcept = default;
    CObject& operator=(const CObject&) noexcept = default;
    virtual ~CObject() = default;
};
