const { execSync } = require('child_process');
const pkg = require('./package.json');
console.log(`releasing ${pkg.name}@${pkg.version}`);
execSync('npm test', { stdio: 'inherit' });
execSync('npm publish', { stdio: 'inherit' });
