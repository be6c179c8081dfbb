const key = 'on' + type;
window[key] = handler;
const mod = require('./locale/' + lang);
