"""What every family module uses: sample() keeps a sample's bytes, fires()/silent() add a case.

A family module (families/<family>.py) names its samples without a folder; they are written under
samples/<family>/ and its cases to cases/<family>.tsv. ref(name) names a sample the same module made
earlier, for a second case on the same bytes.

grow: a size such as "1200k" or "2M" plants the sample with its first line repeated at the start until
the file reaches that size, so a payload lands past the first MiB without a large file in the repository.
"""

family = None  # set by make_samples.py before it imports a module
cases = {}  # family -> [row]
files = {}  # family -> {name: bytes}


def begin(name):
    global family
    family = name
    cases.setdefault(name, [])
    files.setdefault(name, {})


def ref(name):
    assert name in files[family], f"{family}: no sample {name}"
    return f"{family}/{name}"


def sample(name, content, binary=False):
    assert name not in files[family], f"{family}: sample {name} made twice"
    files[family][name] = content if binary else content.encode("utf-8")
    return f"{family}/{name}"


def fires(case, rule, severity, name, dest, mode="644", also="-", grow="-"):
    cases[family].append((case, "fires", rule, severity, mode, name, dest, also, grow))


def silent(case, rule, name, dest, mode="644", also="-", grow="-"):
    cases[family].append((case, "silent", rule, "-", mode, name, dest, also, grow))


# Encodings an attacker picks so that a byte-level pattern misses the text.
def utf16(text, bom=True, big_endian=False):
    body = text.encode("utf-16-be" if big_endian else "utf-16-le")
    return ((b"\xfe\xff" if big_endian else b"\xff\xfe") if bom else b"") + body


def utf8_bom(text):
    return b"\xef\xbb\xbf" + text.encode("utf-8")


def crlf(text):
    return text.replace("\n", "\r\n").encode("utf-8")


# Hidden Unicode.
def tags(text):  # ASCII smuggled as Unicode tag characters
    return "".join(chr(0xE0000 + ord(c)) for c in text)


def selectors(data):  # bytes smuggled as variation selectors
    return "".join(chr(0xFE00 + b) if b < 16 else chr(0xE0100 + b - 16) for b in data)


FLAG_ENGLAND = "\U0001F3F4" + tags("gbeng") + "\U000E007F"
FLAG_SCOTLAND = "\U0001F3F4" + tags("gbsct") + "\U000E007F"
FLAG_WALES = "\U0001F3F4" + tags("gbwls") + "\U000E007F"
