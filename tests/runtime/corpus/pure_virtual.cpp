// A pure virtual function called during construction: the program stops with a message and a
// non-zero status instead of ending as if all went well.
#include <cstdio>

struct Base {
    Base() { callHook(); }
    void callHook() { hook(); }
    virtual void hook() = 0;
    virtual ~Base() = default;
};

struct Derived : Base {
    void hook() override { std::puts("derived"); }
};

int main() {
    std::puts("before");
    Derived d;
    std::puts("after");
    return 0;
}
