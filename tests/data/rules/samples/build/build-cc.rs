fn main() {
    println!("cargo:rerun-if-changed=src/shim.c");
    cc::Build::new().file("src/shim.c").compile("shim");
    let rev = std::process::Command::new("git").args(["rev-parse", "HEAD"]).output();
}
