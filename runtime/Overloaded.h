#pragma once

namespace runtime {

// A visitor made of lambdas, one per alternative of a std::variant:
//     std::visit(runtime::Overloaded{[](const A&) {...}, [](const B&) {...}}, value);
template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace runtime
