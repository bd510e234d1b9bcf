#!/usr/bin/env python3
"""Minifies the intro's GLSL 4.30 fragment shader.

  glsl_minify.py INPUT --out OUTPUT [--cpp SOURCE.cpp]

Comments and needless whitespace go, float literals take their shortest
form of the same decimal value, consecutive declarations of one plain type
are joined into one statement, and the shader's own names (functions,
globals, locals, parameters, macros and their parameters) are renamed to the
shortest free names, the most used first. The renaming is one name for one
name over the whole text, so scopes, shadowing and overloads keep their
meaning; nothing is reordered, folded or dropped. Names the host or the GL
sees (HOST_NAMES), built-ins and the version line stay as they are.

Anything it does not understand is refused with a message naming the line:
other preprocessor directives, structs, names that are neither declared in
the text nor known built-ins, a declaration that reuses a built-in's name.
The output depends only on the input.

--cpp also writes the text as a C++ byte array defining `shader_source`
(declared in shader/shader_source.h), for the release program to link.
"""

import argparse
import decimal
import re
import sys

# Seen by the host (uniform locations, sampler, storage block, output) or by
# the GL (the entry point). Never renamed, never given to another name.
HOST_NAMES = frozenset(["m", "v", "w", "f", "BlockName", "snd", "main"])

_VECTOR_TYPES = ["%svec%d" % (p, n) for p in ("", "b", "i", "u", "d") for n in (2, 3, 4)]
_MATRIX_TYPES = ["%smat%d" % (p, n) for p in ("", "d") for n in (2, 3, 4)] + \
                ["%smat%dx%d" % (p, a, b) for p in ("", "d") for a in (2, 3, 4) for b in (2, 3, 4)]
_SAMPLER_TYPE = re.compile(r"^[iu]?(sampler|image)(1D|2D|3D|Cube|2DRect|Buffer|2DMS)(Array)?(Shadow)?$")

TYPES = frozenset(["void", "bool", "int", "uint", "float", "double", "atomic_uint"]
                  + _VECTOR_TYPES + _MATRIX_TYPES)

KEYWORDS = frozenset("""
attribute const uniform varying buffer shared coherent volatile restrict readonly writeonly
layout centroid flat smooth noperspective patch sample break continue do for while switch
case default if else subroutine in out inout true false invariant precise discard return
lowp mediump highp precision struct
common partition active asm class union enum typedef template this resource goto inline
noinline public static extern external interface long short half fixed unsigned superp
input output hvec2 hvec3 hvec4 fvec2 fvec3 fvec4 sampler3DRect filter sizeof cast
namespace using
""".split()) | TYPES

BUILTIN_FUNCTIONS = frozenset("""
radians degrees sin cos tan asin acos atan sinh cosh tanh asinh acosh atanh
pow exp log exp2 log2 sqrt inversesqrt
abs sign floor trunc round roundEven ceil fract mod modf min max clamp mix step smoothstep
isnan isinf floatBitsToInt floatBitsToUint intBitsToFloat uintBitsToFloat fma frexp ldexp
packUnorm2x16 packSnorm2x16 packUnorm4x8 packSnorm4x8 unpackUnorm2x16 unpackSnorm2x16
unpackUnorm4x8 unpackSnorm4x8 packDouble2x32 unpackDouble2x32 packHalf2x16 unpackHalf2x16
length distance dot cross normalize faceforward reflect refract
matrixCompMult outerProduct transpose determinant inverse
lessThan lessThanEqual greaterThan greaterThanEqual equal notEqual any all not
uaddCarry usubBorrow umulExtended imulExtended bitfieldExtract bitfieldInsert
bitfieldReverse bitCount findLSB findMSB
textureSize textureQueryLod textureQueryLevels texture textureProj textureLod textureOffset
texelFetch texelFetchOffset textureProjOffset textureLodOffset textureProjLod
textureProjLodOffset textureGrad textureGradOffset textureProjGrad textureProjGradOffset
textureGather textureGatherOffset textureGatherOffsets
atomicCounterIncrement atomicCounterDecrement atomicCounter
atomicAdd atomicMin atomicMax atomicAnd atomicOr atomicXor atomicExchange atomicCompSwap
imageSize imageLoad imageStore imageAtomicAdd imageAtomicMin imageAtomicMax imageAtomicAnd
imageAtomicOr imageAtomicXor imageAtomicExchange imageAtomicCompSwap
dFdx dFdy fwidth interpolateAtCentroid interpolateAtSample interpolateAtOffset
noise1 noise2 noise3 noise4
barrier memoryBarrier memoryBarrierAtomicCounter memoryBarrierBuffer memoryBarrierShared
memoryBarrierImage groupMemoryBarrier
EmitVertex EndPrimitive EmitStreamVertex EndStreamPrimitive
""".split())

# Words allowed inside layout( ... ).
LAYOUT_WORDS = frozenset("""
location binding std140 std430 shared packed row_major column_major index offset component
origin_upper_left pixel_center_integer early_fragment_tests
""".split())

SWIZZLE = re.compile(r"^([xyzw]{1,4}|[rgba]{1,4}|[stpq]{1,4})$")
# Members reachable with '.' without structs: swizzles and the array length.
MEMBER_WORDS = frozenset(["length"])

_TOKEN = re.compile(r"""
    (?P<space>[ \t]+)
  | (?P<float>(?:\d+\.\d*|\.\d+)(?:[eE][+-]?\d+)?(?:lf|LF|[fF])?|\d+[eE][+-]?\d+(?:lf|LF|[fF])?)
  | (?P<int>0[xX][0-9a-fA-F]+[uU]?|\d+[uU]?)
  | (?P<name>[A-Za-z_][A-Za-z0-9_]*)
  | (?P<op><<=|>>=|\+\+|--|<<|>>|<=|>=|==|!=|&&|\|\||\^\^|\+=|-=|\*=|/=|%=|&=|\|=|\^=
          |[()\[\]{}.,;+\-*/%<>=!~&|^?:])
""", re.VERBOSE)


class MinifyError(Exception):
    """Input the minifier does not understand; carries the line number."""

    def __init__(self, line, message):
        Exception.__init__(self, "line %d: %s" % (line, message))
        self.line = line


class Token(object):
    __slots__ = ("kind", "text", "line")

    def __init__(self, kind, text, line):
        self.kind = kind
        self.text = text
        self.line = line


def strip_comments(text):
    """Replaces comments by a blank, keeping every newline (line numbers stay)."""
    out = []
    i = 0
    n = len(text)
    line = 1
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
            out.append(" ")
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise MinifyError(line, "unterminated /* comment")
            body = text[i:end + 2]
            line += body.count("\n")
            out.append(" " + "\n" * body.count("\n"))
            i = end + 2
        else:
            if c == "\n":
                line += 1
            out.append(c)
            i += 1
    return "".join(out)


def tokenize_line(text, line):
    tokens = []
    pos = 0
    while pos < len(text):
        match = _TOKEN.match(text, pos)
        if not match:
            raise MinifyError(line, "unexpected character %r" % text[pos])
        kind = match.lastgroup
        if kind != "space":
            tokens.append(Token(kind, match.group(), line))
        pos = match.end()
    return tokens


def shortest_float(text, line=0):
    """The shortest GLSL float literal with the same decimal value as `text`."""
    body = text
    if body.endswith(("lf", "LF")):
        raise MinifyError(line, "double literal %s: only float literals are supported" % text)
    if body.endswith(("f", "F")):
        body = body[:-1]
    value = decimal.Decimal(body)
    if value == 0:
        return "0."
    sign, digit_tuple, exponent = value.as_tuple()
    digits = "".join(str(d) for d in digit_tuple).lstrip("0")
    stripped = digits.rstrip("0")
    exponent += len(digits) - len(stripped)
    digits = stripped
    if exponent >= 0:
        positional = digits + "0" * exponent + "."
    elif -exponent >= len(digits):
        positional = "." + "0" * (-exponent - len(digits)) + digits
    else:
        point = len(digits) + exponent
        positional = digits[:point] + "." + digits[point:]
    candidates = [positional]
    if exponent != 0:
        candidates.append("%se%d" % (digits, exponent))
    return min(candidates, key=len)  # min keeps the first of equal lengths


def _is_reserved_name(name):
    return name.startswith("gl_") or "__" in name


def name_candidates():
    """Short names in a fixed order: one letter, then two characters."""
    first = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
    rest = first + "0123456789_"
    for a in first:
        yield a
    for a in first:
        for b in rest:
            yield a + b
    for a in first:
        for b in rest:
            for c in rest:
                yield a + b + c


class Directive(object):
    """#define NAME[(params)] body; the body's tokens stay in order."""

    def __init__(self, line, name, params, body):
        self.line = line
        self.name = name
        self.params = params  # None for an object-like macro
        self.body = body


def parse(text):
    """Splits the text into the version line and a list of items: Directive
    objects and lists of code tokens, in source order."""
    if "\\\n" in text or "\\\r\n" in text:
        raise MinifyError(text[:text.find("\\")].count("\n") + 1, "line continuations are not supported")
    for index, ch in enumerate(text):
        if ord(ch) > 126 or (ord(ch) < 32 and ch not in "\t\n\r"):
            raise MinifyError(text[:index].count("\n") + 1, "unexpected character %r" % ch)
    lines = strip_comments(text).split("\n")
    version = None
    items = []
    code = []
    for number, raw in enumerate(lines, 1):
        stripped = raw.strip()
        if not stripped:
            continue
        if stripped.startswith("#"):
            words = stripped[1:].split()
            directive = words[0] if words else ""
            if directive == "version":
                if version is not None or items or code:
                    raise MinifyError(number, "#version must be the first line")
                if words[1:] != ["430"] and words[1:] != ["430", "core"]:
                    raise MinifyError(number, "unsupported version line %r" % stripped)
                version = "#version " + " ".join(words[1:])
                continue
            if version is None:
                raise MinifyError(number, "the text must begin with its #version line")
            if directive != "define":
                raise MinifyError(number, "unsupported preprocessor directive #%s" % directive)
            if code:
                items.append(code)
                code = []
            items.append(parse_define(stripped, number))
            continue
        if version is None:
            raise MinifyError(number, "the text must begin with its #version line")
        if "#" in stripped:
            raise MinifyError(number, "'#' inside a line is not supported")
        code.extend(tokenize_line(raw, number))
    if version is None:
        raise MinifyError(1, "the text must begin with its #version line")
    if code:
        items.append(code)
    return version, items


def parse_define(stripped, number):
    match = re.match(r"#\s*define\s+([A-Za-z_][A-Za-z0-9_]*)(\([^)]*\))?(.*)$", stripped)
    if not match:
        raise MinifyError(number, "cannot read this #define")
    name = match.group(1)
    params = None
    if match.group(2) is not None:
        params = [p.strip() for p in match.group(2)[1:-1].split(",")]
        if params == [""]:
            params = []
        for param in params:
            if not re.match(r"^[A-Za-z_][A-Za-z0-9_]*$", param):
                raise MinifyError(number, "cannot read the parameters of macro %s" % name)
    body = tokenize_line(match.group(3), number)
    return Directive(number, name, params, body)


def _is_type(text):
    return text in TYPES or bool(_SAMPLER_TYPE.match(text))


def find_declarations(tokens):
    """Names declared by `type name` (variables, parameters, functions) and by
    further declarators after commas in the same declaration."""
    declared = {}
    depth = 0
    declarators = []  # depths at which a declarator list is open
    count = len(tokens)
    i = 0
    while i < count:
        token = tokens[i]
        text = token.text
        if text in ("(", "[", "{"):
            depth += 1
        elif text in (")", "]", "}"):
            depth -= 1
            if depth < 0:
                raise MinifyError(token.line, "unbalanced %r" % text)
            declarators = [d for d in declarators if d <= depth]
            if text == "}":
                declarators = [d for d in declarators if d < depth]
        elif text == ";":
            declarators = [d for d in declarators if d < depth]
        elif text == "," and declarators and declarators[-1] == depth:
            if i + 1 < count and tokens[i + 1].kind == "name" and tokens[i + 1].text not in KEYWORDS:
                declared.setdefault(tokens[i + 1].text, tokens[i + 1].line)
        elif token.kind == "name" and _is_type(text):
            j = i + 1
            # `float[20] name` declares too; `float[20](...)` constructs.
            while j < count and tokens[j].text == "[":
                while j < count and tokens[j].text != "]":
                    j += 1
                j += 1
            if j < count and tokens[j].kind == "name" and tokens[j].text not in KEYWORDS:
                declared.setdefault(tokens[j].text, tokens[j].line)
                is_function = j + 1 < count and tokens[j + 1].text == "("
                if not is_function and (not declarators or declarators[-1] != depth):
                    declarators.append(depth)
        i += 1
    if depth != 0:
        raise MinifyError(tokens[-1].line if tokens else 1, "unbalanced brackets at the end of the text")
    return declared


def check_and_collect(items):
    """Validates every name and returns (own names with their use counts,
    names that stay as they are)."""
    code = [token for item in items if isinstance(item, list) for token in item]
    declared = find_declarations(code)
    macros = {}
    for item in items:
        if isinstance(item, Directive):
            if item.name in macros:
                raise MinifyError(item.line, "macro %s defined twice" % item.name)
            macros[item.name] = item
            declared.setdefault(item.name, item.line)
            for param in item.params or []:
                declared.setdefault(param, item.line)
    for name, line in sorted(declared.items()):
        if name in BUILTIN_FUNCTIONS:
            raise MinifyError(line, "declares %s, the name of a built-in function; overloads of built-ins are not supported" % name)
        if name in KEYWORDS:
            raise MinifyError(line, "declares the keyword %s" % name)
        if _is_reserved_name(name) and name not in HOST_NAMES:
            raise MinifyError(line, "declares the reserved name %s" % name)

    counts = {}
    kept = set()

    def visit(tokens, in_layout_ok=True):
        i = 0
        while i < len(tokens):
            token = tokens[i]
            text = token.text
            if token.kind == "name":
                if text == "struct":
                    raise MinifyError(token.line, "structs are not supported")
                if text == "layout":
                    if i + 1 >= len(tokens) or tokens[i + 1].text != "(":
                        raise MinifyError(token.line, "layout without its qualifier list")
                    j = i + 2
                    while j < len(tokens) and tokens[j].text != ")":
                        if tokens[j].kind == "name":
                            if tokens[j].text not in LAYOUT_WORDS:
                                raise MinifyError(tokens[j].line, "unknown layout qualifier %s" % tokens[j].text)
                            kept.add(tokens[j].text)
                        elif tokens[j].kind not in ("int", "op"):
                            raise MinifyError(tokens[j].line, "cannot read this layout qualifier")
                        j += 1
                    i = j + 1
                    continue
                if i > 0 and tokens[i - 1].text == ".":
                    if not (SWIZZLE.match(text) or text in MEMBER_WORDS):
                        raise MinifyError(token.line, "member .%s is neither a swizzle nor length()" % text)
                elif text in HOST_NAMES or text in KEYWORDS or text in BUILTIN_FUNCTIONS \
                        or _is_type(text) or text.startswith("gl_"):
                    kept.add(text)
                elif text in declared:
                    counts[text] = counts.get(text, 0) + 1
                else:
                    raise MinifyError(token.line, "%s is neither declared in the shader nor a built-in this minifier knows" % text)
            i += 1

    for item in items:
        if isinstance(item, Directive):
            counts[item.name] = counts.get(item.name, 0) + 1
            for param in item.params or []:
                if param in HOST_NAMES:
                    raise MinifyError(item.line, "macro parameter %s hides a host name" % param)
                counts[param] = counts.get(param, 0) + 1
            visit(item.body)
        else:
            visit(item)
    return counts, kept


def assign_names(counts, kept):
    """Most used first; ties in the order of the original names."""
    taken = set(kept) | HOST_NAMES
    order = sorted(counts, key=lambda name: (-counts[name], name))
    mapping = {}
    generator = name_candidates()
    for name in order:
        for candidate in generator:
            if candidate in taken or candidate in KEYWORDS or candidate in BUILTIN_FUNCTIONS \
                    or _is_reserved_name(candidate):
                continue
            mapping[name] = candidate
            break
    return mapping


_WORD = re.compile(r"[A-Za-z0-9_]")


def needs_space(left, right):
    """Whether two tokens written side by side would read as other tokens."""
    a, b = left.text, right.text
    if _WORD.match(a[-1]) and _WORD.match(b[0]):
        return True
    if left.kind in ("float", "int") and (_WORD.match(b[0]) or b[0] == "."):
        return True
    if _WORD.match(a[-1]) and right.kind == "float" and b[0] == ".":
        return True
    if a[-1] == "/" and b[0] in "/*":
        return True
    if left.kind == "op" and right.kind == "op":
        joined = tokenize_line(a + b, 0)
        return [t.text for t in joined] != [a, b]
    return False


def merge_declarations(tokens):
    """Joins consecutive declaration statements of the same plain type,
    `float a=1.;float b=a;` -> `float a=1.,b=a;`. The declarators keep their
    order and their initialisers, and each name's scope still begins after
    its own declarator, so nothing is evaluated differently. Only statements
    that begin right after `;`, `{` or `}` outside parentheses qualify (so no
    if or for bodies and headers), without qualifiers, with a plain name
    followed by `=` or `;` (no arrays), and with no braces in between."""
    out = []
    depth = 0  # parentheses and brackets
    previous = None  # (type, brace depth, index in out of its closing ';')
    braces = 0
    i = 0
    count = len(tokens)
    while i < count:
        token = tokens[i]
        at_start = depth == 0 and (not out or out[-1].text in (";", "{", "}"))
        if (at_start and token.kind == "name" and token.text in TYPES and token.text != "void"
                and i + 2 < count and tokens[i + 1].kind == "name" and tokens[i + 1].text not in KEYWORDS
                and tokens[i + 2].text in ("=", ";")):
            end = i + 1
            inner = 0
            while end < count and not (tokens[end].text == ";" and inner == 0):
                if tokens[end].text in ("{", "}"):
                    end = -1
                    break
                if tokens[end].text in ("(", "["):
                    inner += 1
                elif tokens[end].text in (")", "]"):
                    inner -= 1
                end += 1
            if end > 0 and end < count:
                joins = (previous is not None and previous[0] == token.text and previous[1] == braces
                         and previous[2] == len(out) - 1)
                if joins:
                    out[-1] = Token("op", ",", out[-1].line)
                else:
                    out.append(token)
                out.extend(tokens[i + 1:end + 1])
                previous = (token.text, braces, len(out) - 1)
                i = end + 1
                continue
        if token.text in ("(", "["):
            depth += 1
        elif token.text in (")", "]"):
            depth -= 1
        elif token.text == "{":
            braces += 1
        elif token.text == "}":
            braces -= 1
        out.append(token)
        i += 1
    return out


def render_tokens(tokens, mapping):
    out = []
    previous = None
    for token in tokens:
        text = token.text
        if token.kind == "name" and text in mapping and not (out and previous.text == "."):
            token = Token("name", mapping[text], token.line)
        elif token.kind == "float":
            token = Token("float", shortest_float(text, token.line), token.line)
        if previous is not None and needs_space(previous, token):
            out.append(" ")
        out.append(token.text)
        previous = token
    return "".join(out)


def minify(text, merge=True):
    """Returns the minified text; raises MinifyError on input it refuses.
    merge=False leaves every declaration statement as written."""
    version, items = parse(text)
    counts, kept = check_and_collect(items)
    mapping = assign_names(counts, kept)
    parts = [version, "\n"]
    for item in items:
        if isinstance(item, Directive):
            if not parts[-1].endswith("\n"):
                parts.append("\n")
            head = "#define " + mapping[item.name]
            if item.params is not None:
                head += "(" + ",".join(mapping[p] for p in item.params) + ")"
            parts.append(head + " " + render_tokens(item.body, mapping) + "\n")
        else:
            parts.append(render_tokens(merge_declarations(item) if merge else item, mapping))
    if not parts[-1].endswith("\n"):
        parts.append("\n")
    return "".join(parts)


def cpp_array(text):
    data = text.encode("ascii") + b"\0"
    rows = []
    for start in range(0, len(data), 24):
        rows.append("  " + "".join("0x%02x," % byte for byte in data[start:start + 24]))
    return ("// Generated by tools/minify/glsl_minify.py from the joined shader; edit the pieces in shader/.\n"
            "#include \"shader_source.h\"\n\n"
            "static const char shader_text[] = {\n" + "\n".join(rows) + "};\n\n"
            "const char* const shader_source = shader_text;\n")


def write_if_changed(path, content):
    try:
        with open(path, "r", newline="") as existing:
            if existing.read() == content:
                return
    except OSError:
        pass
    with open(path, "w", newline="") as output:
        output.write(content)


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="glsl_minify.py",
        description="Minify the intro's GLSL 4.30 shader: comments and needless whitespace removed, "
                    "shortest float literals, the shader's own names shortened (host names, built-ins "
                    "and the version line kept). Refuses input it does not understand.")
    parser.add_argument("input", help="the joined, readable shader")
    parser.add_argument("--out", required=True, help="where the minified text goes")
    parser.add_argument("--cpp", help="also write it as a C++ source defining shader_source")
    args = parser.parse_args(argv)
    try:
        with open(args.input, "r", newline="") as source:
            text = source.read()
    except (OSError, UnicodeDecodeError) as error:
        sys.stderr.write("glsl_minify: cannot read %s: %s\n" % (args.input, error))
        return 1
    try:
        result = minify(text)
    except MinifyError as error:
        sys.stderr.write("glsl_minify: %s:%s\n" % (args.input, error))
        return 1
    try:
        write_if_changed(args.out, result)
        if args.cpp:
            write_if_changed(args.cpp, cpp_array(result))
    except OSError as error:
        sys.stderr.write("glsl_minify: cannot write: %s\n" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
