"""The plain logic of script/mutate: which places of a C++ source may be mutated, the mutations
themselves, and the reproducible choice of a sample. No process is started here."""

import random
import re
from dataclasses import dataclass


@dataclass(frozen=True)
class Mutant:
    path: str  # relative to the repository root
    line: int  # 1-based
    kind: str  # "comparison", "constant", "plus-minus", "drop", "negate", "return"
    column: int  # 0-based, where the mutation starts
    original: str  # the whole line as it was
    mutated: str  # the whole line as it becomes

    def describe(self):
        return f"{self.path}:{self.line}: {self.kind}"


def code_lines(text):
    """Returns, for every line of text, the line with comments and the contents of string and
    character literals blanked out (same length), or None for lines a mutation must not touch:
    preprocessor lines with their continuations, and lines inside a raw string."""
    out = []
    in_block_comment = False
    in_raw = None  # the closing delimiter of a raw string left open on an earlier line
    continued_directive = False
    for line in text.split("\n"):
        if continued_directive or (not in_block_comment and in_raw is None
                                   and line.lstrip().startswith("#")):
            continued_directive = line.endswith("\\")
            out.append(None)
            continue
        masked = list(line)
        touched_raw = in_raw is not None
        i = 0
        n = len(line)
        while i < n:
            if in_raw is not None:
                end = line.find(in_raw, i)
                stop = n if end < 0 else end + len(in_raw)
                for k in range(i, stop):
                    masked[k] = " "
                i = stop
                if end >= 0:
                    in_raw = None
                continue
            if in_block_comment:
                end = line.find("*/", i)
                stop = n if end < 0 else end + 2
                for k in range(i, stop):
                    masked[k] = " "
                i = stop
                if end >= 0:
                    in_block_comment = False
                continue
            c = line[i]
            if line.startswith("//", i):
                for k in range(i, n):
                    masked[k] = " "
                break
            if line.startswith("/*", i):
                masked[i] = masked[i + 1] = " "
                in_block_comment = True
                i += 2
                continue
            raw = re.match(r'(?:u8|u|U|L)?R"([^ ()\\]{0,16})\(', line[i:])
            if raw and (i == 0 or not (line[i - 1].isalnum() or line[i - 1] == "_")):
                in_raw = ")" + raw.group(1) + '"'
                touched_raw = True
                i += raw.end()
                continue
            if c == "'" and i > 0 and line[i - 1].isalnum() and _in_number(line, i):
                i += 1  # a digit separator
                continue
            if c in "\"'":
                k = i + 1
                while k < n and line[k] != c:
                    k += 2 if line[k] == "\\" else 1
                for j in range(i + 1, min(k, n)):
                    masked[j] = " "
                i = k + 1
                continue
            i += 1
        out.append(None if touched_raw else "".join(masked))
    return out


def _in_number(line, i):
    k = i
    while k > 0 and (line[k - 1].isalnum() or line[k - 1] in "_'"):
        k -= 1
    return line[k].isdigit()


_COMPARISONS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
_ARITHMETIC = {"+": "-", "-": "+", "+=": "-=", "-=": "+="}
_INTEGER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F']+|0[bB][01']+|[0-9][0-9']*)([uUlL]*)(?![\w.'])")
_NOT_EXPRESSION = re.compile(
    r"(return|break|continue|goto|case|default|using|typedef|static_assert|namespace|template|"
    r"friend|public|private|protected|delete|throw|co_return|co_yield|else|do|if|for|while|switch)\b")
_DECLARATION = re.compile(r"([A-Za-z_][\w:]*(\s*<[^;=()]*>)?[\s*&]+)+[A-Za-z_]\w*\s*(=|;|\(|\{|\[|:)")
_BOOLEAN = re.compile(r" (==|!=|<|>|<=|>=|&&|\|\|) |^!")


def _replace(line, start, end, text):
    return line[:start] + text + line[end:]


def _binary_operators(code, table):
    """Operators of table standing between spaces (the house format spaces binary operators;
    templates, unary signs, shifts and arrows are written without them)."""
    for m in re.finditer(r"(?<= )(" + "|".join(re.escape(op) for op in table) + r")(?= )", code):
        yield m.start(), m.end(), m.group(1)


def _statement_start(prev_code):
    return prev_code is None or prev_code.rstrip()[-1:] in ("", ";", "{", "}")


def _closing_paren(code, open_at):
    depth = 0
    for k in range(open_at, len(code)):
        if code[k] == "(":
            depth += 1
        elif code[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def line_mutants(path, number, line, code, prev_code):
    """Every mutation of one line (code is the line's masked form, prev_code that of the last
    line before it holding code, or None)."""
    found = []

    def add(kind, column, mutated):
        if mutated != line:
            found.append(Mutant(path, number, kind, column, line, mutated))

    for start, end, op in _binary_operators(code, _COMPARISONS):
        add("comparison", start, _replace(line, start, end, _COMPARISONS[op]))
    for start, end, op in _binary_operators(code, _ARITHMETIC):
        add("plus-minus", start, _replace(line, start, end, _ARITHMETIC[op]))
    for m in _INTEGER.finditer(code):
        add("constant", m.start(), _replace(line, m.start(1), m.end(1), _plus_one(m.group(1))))
    stripped = code.strip()
    indent = len(code) - len(code.lstrip())
    for m in re.finditer(r"\b(if|while)\s*(constexpr\s*)?\(", code):
        close = _closing_paren(code, m.end() - 1)
        if close < 0:
            continue
        open_at = m.end()
        semi = code.find(";", open_at, close)
        if semi >= 0 and m.group(1) == "if":
            open_at = semi + 1
            while open_at < close and code[open_at] == " ":
                open_at += 1
        condition = line[open_at:close]
        if condition.strip():
            add("negate", m.start(), line[:open_at] + "!(" + condition + ")" + line[close:])
    if stripped.startswith("return ") and stripped.endswith(";") and _statement_start(prev_code):
        value_start = indent + len("return ")
        value = line[value_start:indent + len(stripped) - 1].strip()
        other = _other_value(value, code[value_start:indent + len(stripped) - 1].strip())
        if other is not None:
            add("return", indent, line[:value_start] + other + ";" + line[indent + len(stripped):])
    elif (stripped.endswith(";") and _statement_start(prev_code)
          and re.match(r"(\+\+|--|\*|\(|::|[A-Za-z_])", stripped)
          and not _NOT_EXPRESSION.match(stripped) and not _DECLARATION.match(stripped)
          and stripped.count("{") == stripped.count("}")
          and stripped.count("(") == stripped.count(")")):
        add("drop", indent, line[:indent])
    return found


def _plus_one(literal):
    digits = literal.replace("'", "")
    if digits[:2] in ("0x", "0X"):
        value = int(digits[2:], 16) + 1
        return digits[:2] + format(value, "X" if digits[2:].isupper() else "x").zfill(len(digits) - 2)
    if digits[:2] in ("0b", "0B"):
        return digits[:2] + format(int(digits[2:], 2) + 1, "b").zfill(len(digits) - 2)
    if len(digits) > 1 and digits.startswith("0"):
        return "0" + format(int(digits, 8) + 1, "o")
    return str(int(digits) + 1)


def _other_value(value, masked_value):
    """A value of the same kind as the returned one, or None when there is none worth trying."""
    if value in ("true", "false"):
        return "false" if value == "true" else "true"
    if re.fullmatch(r"-?\d+[uUlL]*", value):
        return "1" if int(re.sub(r"[uUlL]", "", value)) == 0 else "0"
    if _BOOLEAN.search(masked_value):
        return "!(" + value + ")"
    if value in ("{}", "nullptr", "std::nullopt", "std::nullopt_t{}", "*this", "this"):
        return None
    return "{}"


def file_mutants(path, text):
    result = []
    prev_code = None
    for number, (line, code) in enumerate(zip(text.split("\n"), code_lines(text)), start=1):
        if code is None:
            continue
        if code.strip():
            result.extend(line_mutants(path, number, line, code, prev_code))
            prev_code = code
    return result


def sample(sites_by_folder, total, seed):
    """Chooses total mutants spread evenly over the folders (a folder with fewer sites than its
    share gives its whole list, the rest going to the others), with random.Random(seed), so that
    the same tree, count and seed give the same mutants. Each folder's are returned in file and
    line order."""
    rng = random.Random(seed)
    folders = list(sites_by_folder)
    shares = {folder: 0 for folder in folders}
    left = total
    open_folders = [f for f in folders if sites_by_folder[f]]
    while left > 0 and open_folders:
        each = max(1, left // len(open_folders))
        for folder in list(open_folders):
            if left == 0:
                break
            take = min(each, len(sites_by_folder[folder]) - shares[folder], left)
            shares[folder] += take
            left -= take
            if shares[folder] == len(sites_by_folder[folder]):
                open_folders.remove(folder)
    chosen = {}
    for folder in folders:
        sites = sorted(sites_by_folder[folder], key=lambda m: (m.path, m.line, m.column, m.kind))
        picked = rng.sample(sites, shares[folder])
        chosen[folder] = sorted(picked, key=lambda m: (m.path, m.line, m.column, m.kind))
    return chosen
