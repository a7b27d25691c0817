"""The mutation tester's own logic: the mutations of single lines, the places never touched, and
the reproducible sample."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "script"))
import mutate_lib  # noqa: E402


def mutations(text):
    return sorted((m.line, m.kind, m.mutated.strip()) for m in mutate_lib.file_mutants("f.cpp", text))


class LineMutations(unittest.TestCase):
    CASES = [
        ("  if (a < b) x = 1;",
         [(1, "comparison", "if (a <= b) x = 1;"), (1, "constant", "if (a < b) x = 2;"),
          (1, "negate", "if (!(a < b)) x = 1;")]),
        ("  total += a - b;",
         [(1, "drop", ""), (1, "plus-minus", "total += a + b;"), (1, "plus-minus", "total -= a - b;")]),
        ("  return a != b;",
         [(1, "comparison", "return a == b;"), (1, "return", "return !(a != b);")]),
        ("  return done;", [(1, "return", "return {};")]),
        ("  return true;", [(1, "return", "return false;")]),
        ("  while (n >= 0x0F) --n;",
         [(1, "comparison", "while (n > 0x0F) --n;"), (1, "constant", "while (n >= 0x10) --n;"),
          (1, "negate", "while (!(n >= 0x0F)) --n;")]),
        ("  if (auto it = f(); it > 1'000) {",
         [(1, "comparison", "if (auto it = f(); it >= 1'000) {"), (1, "constant", "if (auto it = f(); it > 1001) {"),
          (1, "negate", "if (auto it = f(); !(it > 1'000)) {")]),
        # Templates, shifts, arrows and unary signs are not comparisons or subtractions.
        ("  std::vector<int> v = g(x->y << 2, -z);", [(1, "constant", "std::vector<int> v = g(x->y << 3, -z);")]),
        ("  const Outcome outcome = run();", []),
        # Nothing inside literals or comments.
        ("  s = \"a < b == 1\" + 'x';  // c == 2", [(1, "drop", ""), (1, "plus-minus", "s = \"a < b == 1\" - 'x';  // c == 2")]),
        ("  x = 'a' + '1'; /* 3 - 4 */ y = 5;",
         [(1, "constant", "x = 'a' + '1'; /* 3 - 4 */ y = 6;"), (1, "drop", ""),
          (1, "plus-minus", "x = 'a' - '1'; /* 3 - 4 */ y = 5;")]),
        # Preprocessor lines and their continuations, block comments, raw strings.
        ("#define TWICE(a) \\\n  ((a) + (a) == 2)\n/* a == b\n   c < d */\nauto t = R\"(\nx == 1)\";\nf(0);",
         [(7, "constant", "f(1);"), (7, "drop", "")]),
        # Only whole statements are dropped: not the tail of a statement or an if's body.
        ("f(a,\n  b);\nif (c)\n  g();\nh();",
         [(3, "negate", "if (!(c))"), (5, "drop", "")]),
    ]

    def test_mutations_of_lines(self):
        for text, expected in self.CASES:
            with self.subTest(text=text):
                self.assertEqual(mutations(text), sorted(expected))

    def test_every_mutant_changes_only_its_line(self):
        text = "int f(int a) {\n  if (a > 1) return a + 1;\n  return 0;\n}"
        lines = text.split("\n")
        for mutant in mutate_lib.file_mutants("f.cpp", text):
            self.assertEqual(lines[mutant.line - 1], mutant.original)
            self.assertNotEqual(mutant.original, mutant.mutated)


class Sampling(unittest.TestCase):
    def sites(self, sizes):
        return {folder: [mutate_lib.Mutant(folder + "/x.cpp", n, "drop", 0, "a;", "") for n in range(1, size + 1)]
                for folder, size in sizes.items()}

    def test_shares_and_reproducibility(self):
        cases = [
            ({"a": 10, "b": 2, "c": 10}, 12, {"a": 5, "b": 2, "c": 5}),
            ({"a": 10, "b": 10}, 7, {"a": 4, "b": 3}),
            ({"a": 3, "b": 1}, 50, {"a": 3, "b": 1}),
            ({"a": 0, "b": 6}, 4, {"a": 0, "b": 4}),
        ]
        for sizes, total, shares in cases:
            with self.subTest(sizes=sizes, total=total):
                first = mutate_lib.sample(self.sites(sizes), total, 7)
                self.assertEqual({f: len(m) for f, m in first.items()}, shares)
                self.assertEqual(first, mutate_lib.sample(self.sites(sizes), total, 7))
                for folder, picked in first.items():
                    self.assertEqual(len(set(picked)), len(picked))
                    self.assertEqual(picked, sorted(picked, key=lambda m: m.line))

    def test_seed_changes_the_sample(self):
        sites = self.sites({"a": 200})
        self.assertNotEqual(mutate_lib.sample(sites, 10, 1), mutate_lib.sample(sites, 10, 2))


if __name__ == "__main__":
    unittest.main()
