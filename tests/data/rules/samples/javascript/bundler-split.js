const { URL } = require('u' + 'rl');
const setImmediate = globalThis['set' + 'Immediate'];
const raf = window['request' + 'AnimationFrame'];
