from _kit import fires, silent

fires("woff2_javascript", "javascript_disguised_as_asset", "high", ".vscode/fonts/fa-solid-900.woff2",
      "fa-solid-900.woff2", "const cp = require('child_process');\nfunction go() { cp.exec('id'); }\ngo();\n")
silent("woff2_real_header", "javascript_disguised_as_asset", "fonts/real.woff2",
       "real.woff2", b"wOF2\x00\x01\x00\x00\x00\x00\x10\x00\x00\x0a\x00\x00require(function(){})")
silent("png_real_header", "javascript_disguised_as_asset", "img/logo.png",
       "real.png", b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\x00\x00\x00\x01require( function(")
fires("ogg_javascript_after_bom", "javascript_disguised_as_asset", "high", "assets/sounds/intro.ogg",
      "intro.ogg", b"\xef\xbb\xbf" + b"const { exec } = require('child_process');\nexec('id');\n")
silent("ogg_real_header", "javascript_disguised_as_asset", "assets/sounds/real.ogg",
       "real.ogg", b"OggS\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00const x = require('y'); function f() {}")
