from _kit import fires, silent, sample

fires("woff2_javascript", "javascript_disguised_as_asset", "high",
      sample("fa-solid-900.woff2", "const cp = require('child_process');\nfunction go() { cp.exec('id'); }\ngo();\n"),
      ".vscode/fonts/fa-solid-900.woff2")
silent("woff2_real_header", "javascript_disguised_as_asset",
       sample("real.woff2", b"wOF2\x00\x01\x00\x00\x00\x00\x10\x00\x00\x0a\x00\x00require(function(){})", binary=True),
       "fonts/real.woff2")
silent("png_real_header", "javascript_disguised_as_asset",
       sample("real.png", b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\x00\x00\x00\x01require( function(", binary=True),
       "img/logo.png")
fires("ogg_javascript_after_bom", "javascript_disguised_as_asset", "high",
      sample("intro.ogg", b"\xef\xbb\xbf" + b"const { exec } = require('child_process');\nexec('id');\n", binary=True),
      "assets/sounds/intro.ogg")
silent("ogg_real_header", "javascript_disguised_as_asset",
       sample("real.ogg", b"OggS\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00const x = require('y'); function f() {}", binary=True),
       "assets/sounds/real.ogg")
