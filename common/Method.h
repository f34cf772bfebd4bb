#pragma once
// An object method pointer: code plus the object it runs on. Two methods are equal when
// both the code and the object are, which is how subscriptions are found and removed.

template <class... Args>
struct TMethod {
    using Code = void (*)(void* object, Args... args);

    Code code = nullptr;
    void* object = nullptr;

    explicit operator bool() const { return code != nullptr; }
    void operator()(Args... args) const { code(object, args...); }
    friend bool operator==(const TMethod&, const TMethod&) = default;
};

template <auto Member, class Object, class Owner, class... Args>
TMethod<Args...> MakeMethodImpl(Object* object, void (Owner::*)(Args...))
{
    return {[](void* self, Args... args) { (static_cast<Object*>(self)->*Member)(args...); },
            object};
}

// Binds a member function of a live object: MakeMethod<&TFoo::OnOpen>(foo).
template <auto Member, class Object>
auto MakeMethod(Object* object)
{
    return MakeMethodImpl<Member>(object, Member);
}
