const cp = require('child_' + 'process');
cp.exec(cmd);
