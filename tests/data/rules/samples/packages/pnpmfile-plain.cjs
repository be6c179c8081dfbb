module.exports = {
  hooks: {
    readPackage(pkg) {
      if (pkg.name === 'foo') pkg.dependencies.bar = '^2.0.0';
      return pkg;
    },
  },
};
