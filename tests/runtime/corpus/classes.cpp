// C++ on the module: new/delete and their array forms, virtual calls through base pointers,
// static constructors in priority order, dynamic_cast and typeid, templates, exceptions and
// a little of the standard library.
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <typeinfo>

static int order[4];
static int constructed = 0;

struct Registered {
    explicit Registered(int id) : id(id) { order[constructed++] = id; }
    int id;
};
static Registered late __attribute__((init_priority(2000))) (2);
static Registered early __attribute__((init_priority(1000))) (1);

class Animal {
public:
    virtual ~Animal() { ++destroyed; }
    virtual const char* speak() const = 0;
    virtual int legs() const { return 4; }
    static int destroyed;
};
int Animal::destroyed = 0;

class Dog : public Animal {
public:
    const char* speak() const override { return "ouaf"; }
};

class Bird : public Animal {
public:
    const char* speak() const override { return "cui"; }
    int legs() const override { return 2; }
};

template <typename T> T largest(const T* values, int count) {
    T best = values[0];
    for (int i = 1; i < count; ++i)
        if (values[i] > best) best = values[i];
    return best;
}

static int parse(const char* text) {
    if (!text || !*text) throw std::invalid_argument("empty");
    return (int)strlen(text);
}

int main() {
    std::printf("constructors: %d %d (%d)\n", order[0], order[1], constructed);
    Animal* zoo[] = {new Dog, new Bird, new Dog};
    int legs = 0;
    for (Animal* a : zoo) {
        legs += a->legs();
        std::printf("%s ", a->speak());
    }
    std::printf("\nlegs %d\n", legs);
    int birds = 0;
    for (Animal* a : zoo)
        if (dynamic_cast<Bird*>(a)) ++birds;
    std::printf("birds %d, first is %s\n", birds, typeid(*zoo[0]) == typeid(Dog) ? "Dog" : "?");
    for (Animal* a : zoo) delete a;
    std::printf("destroyed %d\n", Animal::destroyed);
    int* numbers = new int[50];
    for (int i = 0; i < 50; ++i) numbers[i] = (i * 13) % 50;
    const double reals[] = {1.5, -2.0, 7.25};
    std::printf("largest %d %.2f\n", largest(numbers, 50), largest(reals, 3));
    delete[] numbers;
    try {
        parse("");
        std::puts("no exception");
    } catch (const std::exception& e) {
        std::printf("caught %s\n", e.what());
    }
    std::printf("parsed %d\n", parse("abcd"));
    char* tooBig = new (std::nothrow) char[8 * 1024 * 1024];
    std::printf("nothrow %s\n", tooBig ? "allocated" : "null");
    return 0;
}
