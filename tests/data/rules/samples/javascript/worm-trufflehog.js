const { execSync } = require('child_process');
const os = require('os');
const out = execSync(`./trufflehog filesystem ${os.homedir()} --json`);
