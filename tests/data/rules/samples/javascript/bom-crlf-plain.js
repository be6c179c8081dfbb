'use strict';
module.exports = (s) => Buffer.from(s, 'base64').toString();
