/*! For license information please see bundle.js.LICENSE.txt */
(()=>{"use strict";var e={};e.d=(t,r)=>{for(var o in r)e.o(r,o)&&Object.defineProperty(t,o,{enumerable:!0,get:r[o]})};console.log("hello")})();
