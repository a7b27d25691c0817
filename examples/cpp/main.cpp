// A first C++ program for the module: classes with virtual functions and a static object built
// before main, printing through the korvan run-time (no exceptions, no run-time type use).
#include <korvan.h>

class Shape {
public:
    virtual ~Shape() = default;
    virtual int area() const = 0;
    virtual const char* name() const = 0;
};

class Rectangle : public Shape {
public:
    Rectangle(int w, int h) : m_w(w), m_h(h) {}
    int area() const override { return m_w * m_h; }
    const char* name() const override { return "rectangle"; }

private:
    int m_w, m_h;
};

class Square : public Rectangle {
public:
    explicit Square(int side) : Rectangle(side, side) {}
    const char* name() const override { return "carre"; }
};

struct Counter {
    Counter() : value(42) {}
    int value;
};

static Counter counter;  // built by the start-up code before main

int main() {
    Rectangle r(3, 4);
    Square s(5);
    const Shape* shapes[] = {&r, &s};
    for (const Shape* shape : shapes) printf("%s: %d\n", shape->name(), shape->area());
    printf("compteur = %d\n", counter.value);
    return 0;
}
