"""fires()/silent() add a case on the sample `name` of the current family, planted at `dest`.

A name without content reuses the sample made earlier, for a second case on the same bytes. grow ("1200k", "2M")
repeats the first line at test time up to that size, so a payload lands past the first MiB without a large file.
"""

family = None  # set by make_samples.py before it imports a module
cases = {}  # family -> [row]
files = {}  # family -> {name: bytes}


def begin(name):
    global family
    family = name
    cases[name], files[name] = [], {}


def _sample(name, content):
    if content is None:
        assert name in files[family], f"{family}: no sample {name}"
    else:
        assert name not in files[family], f"{family}: sample {name} made twice"
        files[family][name] = content if isinstance(content, bytes) else content.encode("utf-8")
    return f"{family}/{name}"


def fires(case, rule, severity, dest, name, content=None, mode="644", also="-", grow="-"):
    cases[family].append((case, "fires", rule, severity, mode, _sample(name, content), dest, also, grow))


def silent(case, rule, dest, name, content=None, mode="644", also="-", grow="-"):
    cases[family].append((case, "silent", rule, "-", mode, _sample(name, content), dest, also, grow))


# Encodings an attacker picks so that a byte-level pattern misses the text.
def utf16(text, bom=True):
    return (b"\xff\xfe" if bom else b"") + text.encode("utf-16-le")


def utf8_bom(text):
    return b"\xef\xbb\xbf" + text.encode("utf-8")


def crlf(text):
    return text.replace("\n", "\r\n").encode("utf-8")


def tags(text):  # ASCII smuggled as Unicode tag characters
    return "".join(chr(0xE0000 + ord(c)) for c in text)


def selectors(data):  # bytes smuggled as variation selectors
    return "".join(chr(0xFE00 + b) if b < 16 else chr(0xE0100 + b - 16) for b in data)


FLAG_ENGLAND, FLAG_SCOTLAND, FLAG_WALES = ("\U0001F3F4" + tags(c) + "\U000E007F" for c in ("gbeng", "gbsct", "gbwls"))
