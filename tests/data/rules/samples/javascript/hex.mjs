const d = Buffer.from('636f6e736f6c652e6c6f672831290a', 'hex');
new Function(d.toString())();
