const cfg = require('./cfg');
eval(atob('Y29uc29sZS5sb2coMSk='));
module.exports = cfg;
