#pragma once
// A non-owning reference to a callable: passing a lambda costs no allocation.

#include <memory>
#include <type_traits>
#include <utility>

namespace almanex {

template <typename Signature>
class FunctionRef;

template <typename Result, typename... Args>
class FunctionRef<Result(Args...)> {
 public:
  template <typename Callable,
            typename = std::enable_if_t<!std::is_same_v<std::remove_cvref_t<Callable>, FunctionRef> &&
                                        std::is_invocable_r_v<Result, Callable&, Args...>>>
  FunctionRef(Callable&& callable)  // NOLINT(google-explicit-constructor): used like a function parameter
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
        invoke_([](void* object, Args... args) -> Result {
          return (*static_cast<std::remove_reference_t<Callable>*>(object))(std::forward<Args>(args)...);
        }) {}

  Result operator()(Args... args) const { return invoke_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  Result (*invoke_)(void*, Args...);
};

}  // namespace almanex
