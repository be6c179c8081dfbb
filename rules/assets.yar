// Fonts, images and media files that are really JavaScript: a task or a script runs them with node
// while they pass for data in a review. Node strips a UTF-8 byte-order mark, so one may precede the
// code; the text view, which drops it, is where these rules see such a file.
//
// twwatch-scope: *.woff *.woff2 *.ttf *.otf *.eot *.png *.jpg *.jpeg *.gif *.ico *.bmp *.webp *.mp3 *.mp4
// twwatch-scope: *.ttc *.wav *.ogg *.webm *.avif *.tif *.tiff

rule javascript_disguised_as_asset
{
    meta:
        severity = "high"
        description = "A font, image or media file that is really JavaScript"
    strings:
        $require = "require("
        $function = "function"
        $arrow = "=>"
        $eval = "eval("
        $child = "child_process"
        $exports = "module.exports"
        $const = "const "
    condition:
        (extension == "woff" or extension == "woff2" or extension == "ttf" or extension == "otf" or
         extension == "eot" or extension == "png" or extension == "jpg" or extension == "jpeg" or
         extension == "gif" or extension == "ico" or extension == "bmp" or extension == "webp" or
         extension == "mp3" or extension == "mp4" or extension == "ttc" or extension == "wav" or
         extension == "ogg" or extension == "webm" or extension == "avif" or extension == "tif" or
         extension == "tiff") and
        filesize > 16 and
        // Text from the first byte: no binary header, and none of the formats whose magic is ASCII.
        uint8(0) >= 0x09 and uint8(0) < 0x7F and uint8(1) >= 0x09 and uint8(1) < 0x7F and
        uint8(2) >= 0x09 and uint8(2) < 0x7F and uint8(3) >= 0x09 and uint8(3) < 0x7F and
        uint32be(0) != 0x774F4646 and uint32be(0) != 0x774F4632 and uint32be(0) != 0x4F54544F and
        uint32be(0) != 0x74727565 and uint32be(0) != 0x47494638 and uint32be(0) != 0x52494646 and
        uint32be(0) != 0x4F676753 and
        (uint32be(0) & 0xFFFFFF00) != 0x49443300 and
        2 of them
}
