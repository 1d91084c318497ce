"""Parameter names in generated C++: the registry's, unless they clash with a C++ keyword or with a
macro of the Windows headers that the generated code includes."""

CXX_KEYWORDS = set("""
alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t char16_t char32_t
class compl concept const consteval constexpr constinit const_cast continue co_await co_return co_yield
decltype default delete do double dynamic_cast else enum explicit export extern false float for friend
goto if inline int long mutable namespace new noexcept not not_eq nullptr operator or or_eq private
protected public register reinterpret_cast requires return short signed sizeof static static_assert
static_cast struct switch template this thread_local throw true try typedef typeid typename union
unsigned using virtual void volatile wchar_t while xor xor_eq
""".split())

WINDOWS_MACROS = {
    "near", "far", "small", "hyper", "pascal", "cdecl", "interface", "min", "max", "IN", "OUT",
    "OPTIONAL", "CONST", "VOID", "DELETE", "ERROR", "TRUE", "FALSE", "NULL", "CALLBACK", "WINAPI",
}

# Names the generated bodies use; no parameter may take them.
RESERVED_LOCALS = {"result_", "alias_", "p_", "b_", "fn", "api", "kgl", "kestrel", "std"}


def cpp_parameter_name(name):
    if name in CXX_KEYWORDS or name in WINDOWS_MACROS:
        return name + "_"
    return name
