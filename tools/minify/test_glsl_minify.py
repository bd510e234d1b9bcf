#!/usr/bin/env python3
"""Unit tests of glsl_minify.py (plain unittest).

  test_glsl_minify.py [JOINED_SHADER]

With the joined intro shader as argument the tests also minify the real
text and compare its token stream with the original's.
"""

import decimal
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import glsl_minify  # noqa: E402

JOINED = None

HEADER = "#version 430\n"

# An independent, simple tokenizer for the checks below: comments out, then
# words, numbers and operators (longest first).
_CHECK_TOKEN = re.compile(r"\s+|(\d+\.\d*(?:[eE][+-]?\d+)?|\.\d+(?:[eE][+-]?\d+)?|\d+[eE][+-]?\d+)"
                          r"|(0[xX][0-9a-fA-F]+[uU]?|\d+[uU]?)|([A-Za-z_]\w*)"
                          r"|(<<=|>>=|\+\+|--|<<|>>|<=|>=|==|!=|&&|\|\||\^\^|[-+*/%&|^]=|[^\s\w])")


def check_tokens(text):
    text = re.sub(r"//[^\n]*|/\*.*?\*/", " ", text, flags=re.S)
    tokens = []
    for line in text.split("\n"):
        if line.strip().startswith("#version"):
            tokens.append(("version", line.split()[1]))
            continue
        for match in _CHECK_TOKEN.finditer(line):
            if match.group(1):
                tokens.append(("float", decimal.Decimal(match.group(1))))
            elif match.group(2):
                tokens.append(("int", match.group(2)))
            elif match.group(3):
                tokens.append(("name", match.group(3)))
            elif match.group(4):
                tokens.append(("op", match.group(4)))
    return tokens


def same_program(test, original, minified, kept=()):
    """The minified tokens are the original's, one for one, in order: the
    same operators and integers, floats of the same decimal value, and names
    mapped one-to-one (kept names unchanged)."""
    a = check_tokens(original)
    b = check_tokens(minified)
    test.assertEqual(len(a), len(b), "token counts differ")
    forward = {}
    backward = {}
    for index, (left, right) in enumerate(zip(a, b)):
        test.assertEqual(left[0], right[0], "token %d: %r became %r" % (index, left, right))
        if left[0] == "name":
            after_dot = index > 0 and a[index - 1] == ("op", ".")
            if left[1] in kept or after_dot:
                test.assertEqual(left[1], right[1], "token %d: %s must stay" % (index, left[1]))
            if after_dot:
                continue
            test.assertEqual(forward.setdefault(left[1], right[1]), right[1], "%s renamed two ways" % left[1])
            test.assertEqual(backward.setdefault(right[1], left[1]), left[1],
                             "%s and %s both became %s" % (backward.get(right[1]), left[1], right[1]))
        else:
            test.assertEqual(left[1], right[1], "token %d: %r became %r" % (index, left, right))
    return forward


def run_minify(body, merge=False):
    # Most tests compare token streams one for one, so they leave the
    # declarations as written; Merging tests the joining on its own.
    return glsl_minify.minify(HEADER + body, merge=merge)


class FloatLiterals(unittest.TestCase):
    # (written, shortest exact form): the value stays the same decimal number.
    CASES = [
        ("0.0", "0."), ("1.0", "1."), ("0.5", ".5"), ("100.0", "1e2"), ("1e9", "1e9"),
        ("0.005", ".005"), ("1000000.0", "1e6"), ("43758.5453", "43758.5453"), ("120.0", "120."),
        ("0.0015", ".0015"), ("0.0001", "1e-4"), ("2.0f", "2."), ("1.5e3", "15e2"), ("3.14159", "3.14159"),
        ("44100.0", "441e2"), ("00.250", ".25"), ("1.e-05", "1e-5"), ("250000.0", "25e4"),
    ]

    def test_table(self):
        for written, expected in self.CASES:
            with self.subTest(written=written):
                result = glsl_minify.shortest_float(written)
                self.assertEqual(result, expected)
                self.assertEqual(decimal.Decimal(result), decimal.Decimal(written.rstrip("fF")))
                self.assertTrue("." in result or "e" in result, "%s would read as an integer" % result)

    def test_double_literals_refused(self):
        with self.assertRaises(glsl_minify.MinifyError):
            run_minify("double d = 1.0lf;\nvoid main(){}\n")

    def test_integers_stay_as_written(self):
        out = run_minify("uint h = 1103515245u; int o = 0x1F;\nvoid main(){}\n")
        self.assertIn("1103515245u", out)
        self.assertIn("0x1F", out)


class Spacing(unittest.TestCase):
    CASES = [
        # (statement body, text that must appear in the output)
        ("a = a - -b;", "- -"),
        ("a = a + +b;", "+ +"),
        ("a = a - --b;", "- --"),
        ("a = b--- c;", "b---c"),      # (b--) - c: written without the blank it still reads so
        ("a = a < -b ? 1.0 : 2.0;", "<-"),
        ("a = 2.0 / b;", "2./"),
    ]

    def test_table(self):
        for statement, expected in self.CASES:
            with self.subTest(statement=statement):
                source = "float a; float b; float c;\nvoid main()\n{\n    " + statement + "\n}\n"
                out = run_minify(source)
                renamed = out
                same = same_program(self, HEADER + source, out, kept=("main",))
                for old, new in same.items():
                    if old in "abc":
                        expected = re.sub(r"\b%s\b" % old, new, expected)
                self.assertIn(expected, renamed)

    def test_comments_and_whitespace_gone(self):
        source = ("// leading comment\n/* block\n   comment */\nfloat  value = 1.0 ;  // trailing\n"
                  "void main ( )\n{\n    value = value * 2.0;\t/* inline */\n}\n")
        out = run_minify(source)
        self.assertNotIn("//", out)
        self.assertNotIn("/*", out)
        self.assertEqual(out.count("\n"), 2)  # the version line and the end
        self.assertNotIn("  ", out)
        same_program(self, HEADER + source, out, kept=("main",))

    def test_words_keep_a_blank(self):
        out = run_minify("uniform sampler2D w;\nvoid main(){ return; }\n")
        self.assertIn("uniform sampler2D w;", out)
        self.assertIn("return;", out)


class Names(unittest.TestCase):
    def test_host_names_and_builtins_stay(self):
        source = ("layout(location = 0) uniform int m;\nlayout(location = 1) uniform int v;\n"
                  "uniform sampler2D w;\nlayout(std430, binding = 0) buffer BlockName { vec2 snd[]; };\n"
                  "layout(location = 0) out vec4 f;\n"
                  "void main()\n{\n    float value = sin(float(v)) + texture(w, gl_FragCoord.xy).x;\n"
                  "    snd[m] = vec2(value);\n    f = vec4(value);\n}\n")
        out = run_minify(source)
        for kept in ("layout(location=0)uniform int m;", "layout(location=1)uniform int v;",
                     "uniform sampler2D w;", "layout(std430,binding=0)buffer BlockName{vec2 snd[];};",
                     "layout(location=0)out vec4 f;", "void main()", "sin(float(v))", "texture(w,gl_FragCoord.xy).x"):
            self.assertIn(kept, out)
        self.assertNotIn("value", out)
        self.assertTrue(out.startswith("#version 430\n"))

    def test_most_used_gets_the_shortest_name(self):
        # Uses: zebra 5, yak 3, ant 2, x 2, y 2 (ties in name order), which
        # is not the names' own order.
        source = ("float ant = 1.0;\nfloat zebra = 2.0;\n"
                  "float yak(float x) { return x * zebra; }\n"
                  "void main()\n{\n    float y = yak(zebra) + yak(zebra) + ant;\n"
                  "    y += zebra;\n}\n")
        out = run_minify(source)
        mapping = same_program(self, HEADER + source, out, kept=("main",))
        self.assertEqual([mapping[n] for n in ("zebra", "yak", "ant", "x", "y")], ["a", "b", "c", "d", "e"])

    def test_host_letters_are_never_given_away(self):
        names = ["name%d" % i for i in range(60)]
        source = "".join("float %s = 1.0;\n" % n for n in names) + "void main(){}\n"
        out = run_minify(source)
        mapping = same_program(self, HEADER + source, out, kept=("main",))
        given = set(mapping[n] for n in names)
        self.assertEqual(len(given), 60)
        self.assertFalse(given & {"m", "v", "w", "f", "do", "if", "in"})
        self.assertTrue(all(len(g) <= 2 for g in given))

    def test_swizzle_member_and_variable_of_the_same_letters(self):
        source = "void main()\n{\n    vec3 xy = vec3(1.0);\n    float x = xy.x + xy.xy.y;\n    x += float(xy.length());\n}\n"
        out = run_minify(source)
        same_program(self, HEADER + source, out, kept=("main",))
        self.assertIn(".x+", out)
        self.assertIn(".xy.y", out)
        self.assertIn(".length()", out)

    def test_shadowing_and_overloads_keep_their_meaning(self):
        source = ("float t = 1.0;\nfloat g(float t) { return t; }\nfloat g(vec2 t) { return t.x; }\n"
                  "void main()\n{\n    float a = g(t);\n    { float t = 2.0; a += g(vec2(t)); }\n}\n")
        out = run_minify(source)
        same_program(self, HEADER + source, out, kept=("main",))

    def test_declarator_lists_and_for_loops(self):
        source = ("float a = 1.0, b = 2.0;\nvoid main()\n{\n    for (int i = 0, j = 1; i < 3; i++) { a += float(i * j) + b; }\n"
                  "    float[2] pair = float[2](a, b);\n}\n")
        out = run_minify(source)
        mapping = same_program(self, HEADER + source, out, kept=("main",))
        self.assertTrue(all(len(mapping[n]) == 1 for n in ("a", "b", "i", "j", "pair")))

    def test_macros(self):
        source = ("#define clamp01(x) clamp((x), 0.0, 1.0)\n#define NEGATIVE (-1.0)\n"
                  "void main()\n{\n    float x = clamp01(NEGATIVE);\n}\n")
        out = run_minify(source)
        mapping = same_program(self, HEADER + source, out, kept=("main",))
        lines = out.split("\n")
        self.assertIn("#define %s(%s) clamp((%s),0.,1.)" % (mapping["clamp01"], mapping["x"], mapping["x"]), lines)
        # An object-like macro keeps the blank that tells it from a function-like one.
        self.assertIn("#define %s (-1.)" % mapping["NEGATIVE"], lines)

    def test_deterministic(self):
        source = "float p; float q; float r;\nvoid main(){ p = q + r; q = r; }\n"
        self.assertEqual(run_minify(source), run_minify(source))


class Merging(unittest.TestCase):
    # (function body, minified body expected with merge, before renaming is
    # undone: names here are single letters that keep their order of use).
    CASES = [
        ("float a = 1.0; float b = a; float c;", "float a=1.,b=a,c;"),
        ("float a = 1.0; vec3 b = vec3(a); vec3 c = b; float d = a;", "float a=1.;vec3 b=vec3(a),c=b;float d=a;"),
        # Only statements that start after ; { or }: not an if body.
        ("float a = 1.0; if (a > 0.0) a = 2.0; float b = a;", "float a=1.;if(a>0.)a=2.;float b=a;"),
        # A declaration as the whole body of an if ends with it.
        ("float a = 1.0; if (a > 0.0) float b = 2.0; float c = a;", "float a=1.;if(a>0.)float b=2.;float c=a;"),
        # A for header is not merged with what comes before or inside it.
        ("float a = 0.0; for (int b = 0; b < 2; b++) { a += 1.0; } float c = a;",
         "float a=0.;for(int b=0;b<2;b++){a+=1.;}float c=a;"),
        # Different blocks, qualifiers and arrays stay apart.
        ("float a = 1.0; { float b = a; } float c = a;", "float a=1.;{float b=a;}float c=a;"),
        ("const float a = 1.0; float b = a;", "const float a=1.;float b=a;"),
        ("float a[2] = float[2](1.0, 2.0); float b = a[0];", "float a[2]=float[2](1.,2.);float b=a[0];"),
        ("float a = 1.0; float b[2];", "float a=1.;float b[2];"),
    ]

    def test_table(self):
        for body, expected in self.CASES:
            with self.subTest(body=body):
                source = "void main()\n{\n    " + body + "\n}\n"
                out = run_minify(source, merge=True)
                plain = run_minify(source, merge=False)
                mapping = same_program(self, HEADER + source, plain, kept=("main",))
                renamed = re.sub(r"\b[a-z]\b", lambda m: mapping.get(m.group(), m.group()), expected)
                self.assertEqual(out, HEADER + "void main(){" + renamed + "}\n")

    def test_functions_and_globals(self):
        source = ("float a = 1.0;\nfloat b = 2.0;\nfloat g(float x) { return x; }\nfloat c = 3.0;\n"
                  "void main(){}\n")
        out = run_minify(source, merge=True)
        self.assertRegex(out, r"float \w=1\.,\w=2\.;float \w\(float \w\)\{return \w;\}float \w=3\.;")


class Refusals(unittest.TestCase):
    CASES = [
        # (label, text, with the version line, what the message must say)
        ("no version line", "void main(){}\n", False, "must begin with its #version"),
        ("version not first", "float a;\n#version 430\nvoid main(){}\n", False, "must begin with its #version"),
        ("other version", "#version 450\nvoid main(){}\n", False, "unsupported version line"),
        ("conditional", "#ifdef X\n#endif\nvoid main(){}\n", True, "unsupported preprocessor directive #ifdef"),
        ("undef", "#define A 1.0\n#undef A\nvoid main(){}\n", True, "unsupported preprocessor directive #undef"),
        ("extension", "#extension GL_ARB_foo : enable\nvoid main(){}\n", True, "directive #extension"),
        ("struct", "struct S { float a; };\nvoid main(){}\n", True, "structs are not supported"),
        ("undeclared name", "void main(){ float a = mystery(1.0); }\n", True, "mystery is neither declared"),
        ("unknown member", "void main(){ vec3 a; float b = a.foo; }\n", True, "member .foo"),
        ("overload of a built-in", "float length(vec3 p) { return 1.0; }\nvoid main(){}\n", True,
         "declares length, the name of a built-in"),
        ("reserved name", "float gl_mine = 1.0;\nvoid main(){}\n", True, "reserved name gl_mine"),
        ("double underscore", "float a__b = 1.0;\nvoid main(){}\n", True, "reserved name a__b"),
        ("line continuation", "#define A 1.0 \\\n + 2.0\nvoid main(){}\n", True, "line continuations"),
        ("non-ASCII", "void main(){ float \u00e9 = 1.0; }\n", True, "unexpected character"),
        ("unknown character", "void main(){ float a = 1.0 @ 2.0; }\n", True, "unexpected character '@'"),
        ("unbalanced", "void main(){ float a = (1.0; }\n", True, "unbalanced"),
        ("macro twice", "#define A 1.0\n#define A 2.0\nvoid main(){}\n", True, "macro A defined twice"),
        ("unknown layout word", "layout(pixel_magic = 1) out vec4 f;\nvoid main(){}\n", True,
         "unknown layout qualifier pixel_magic"),
        ("hash inside a line", "void main(){ float a = 1.0; # }\n", True, "'#' inside a line"),
        ("unterminated comment", "void main(){} /* open\n", True, "unterminated"),
    ]

    def test_table(self):
        for label, body, with_header, message in self.CASES:
            with self.subTest(label):
                text = (HEADER if with_header else "") + body
                with self.assertRaises(glsl_minify.MinifyError) as caught:
                    glsl_minify.minify(text)
                self.assertRegex(str(caught.exception), r"^line \d+: ")
                self.assertIn(message, str(caught.exception))

    def test_message_names_the_line_and_the_name(self):
        with self.assertRaises(glsl_minify.MinifyError) as caught:
            glsl_minify.minify(HEADER + "float a;\n\nvoid main(){ a = mystery; }\n")
        self.assertEqual(caught.exception.line, 4)
        self.assertIn("mystery", str(caught.exception))


class CommandLine(unittest.TestCase):
    SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "glsl_minify.py")

    def run_script(self, *args):
        return subprocess.run([sys.executable, self.SCRIPT] + list(args),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)

    def test_help(self):
        result = self.run_script("--help")
        self.assertEqual(result.returncode, 0)
        self.assertIn("--out", result.stdout)

    def test_refusal_is_an_error_with_the_file_and_line(self):
        with tempfile.TemporaryDirectory() as folder:
            bad = os.path.join(folder, "bad.frag")
            out = os.path.join(folder, "out.frag")
            with open(bad, "w") as f:
                f.write(HEADER + "struct S { float a; };\n")
            result = self.run_script(bad, "--out", out)
            self.assertEqual(result.returncode, 1)
            self.assertIn("bad.frag:line 2: structs are not supported", result.stderr)
            self.assertFalse(os.path.exists(out))

    def test_missing_input(self):
        with tempfile.TemporaryDirectory() as folder:
            result = self.run_script(os.path.join(folder, "absent.frag"), "--out", os.path.join(folder, "o"))
            self.assertEqual(result.returncode, 1)
            self.assertIn("cannot read", result.stderr)

    def test_cpp_array_holds_the_text_and_its_terminator(self):
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "in.frag")
            out = os.path.join(folder, "out.frag")
            cpp = os.path.join(folder, "out.cpp")
            with open(source, "w") as f:
                f.write(HEADER + "void main(){}\n")
            self.assertEqual(self.run_script(source, "--out", out, "--cpp", cpp).returncode, 0)
            with open(out) as f:
                text = f.read()
            with open(cpp) as f:
                code = f.read()
            values = [int(x, 16) for x in re.findall(r"0x([0-9a-f]{2}),", code)]
            self.assertEqual(bytes(values), text.encode() + b"\0")
            self.assertIn("const char* const shader_source = shader_text;", code)


@unittest.skipIf(JOINED is None and len(sys.argv) < 2, "no joined shader given")
class RealShader(unittest.TestCase):
    def test_same_tokens_in_the_same_order(self):
        with open(JOINED) as f:
            original = f.read()
        out = glsl_minify.minify(original, merge=False)
        mapping = same_program(self, original, out, kept=tuple(glsl_minify.HOST_NAMES))
        self.assertLess(len(out), len(original) // 2)
        self.assertTrue(out.startswith("#version 430\n"))
        # The shader's own names are all shortened.
        self.assertTrue(all(len(new) <= 2 for old, new in mapping.items() if old not in glsl_minify.HOST_NAMES
                            and new != old))


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        JOINED = sys.argv.pop(1)
    unittest.main()
