#!/usr/bin/perl
# Reads the databases this project's writer makes (palm_database_samples) with Palm::PDB, an
# outside reader of Palm databases, and checks every header field, the AppInfo block, and
# each record's or resource's entry and data against the values the samples were made with.
# Usage: palm_database_check.pl SAMPLES_PROGRAM DIR
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

# Palm::Raw takes record databases by default; resource databases have to be asked for.
Palm::PDB::RegisterPRCHandlers('Palm::Raw', ['', '']);

my ($samples, $dir) = @ARGV;
die "usage: palm_database_check.pl SAMPLES_PROGRAM DIR\n" unless defined $dir;
system($samples, $dir) == 0 or die "$samples failed\n";

my $t2003 = 1041379200;
my @problems;

sub expect {
    my ($file, $what, $got, $want) = @_;
    $got = 'undef' unless defined $got;
    push @problems, "$file: $what is '$got', wanted '$want'" unless $got eq $want;
}

sub load {
    my ($file) = @_;
    my $pdb = Palm::PDB->new;
    $pdb->Load("$dir/$file");
    return $pdb;
}

my $memos = load('memos.pdb');
expect('memos.pdb', 'name', $memos->{name}, 'Kestrel Memos');
expect('memos.pdb', 'resource flag', $memos->{attributes}{ResDB} ? 1 : 0, 0);
expect('memos.pdb', 'backup flag', $memos->{attributes}{Backup} ? 1 : 0, 1);
expect('memos.pdb', 'version', $memos->{version}, 2);
expect('memos.pdb', 'ctime', $memos->{ctime}, $t2003);
expect('memos.pdb', 'mtime', $memos->{mtime}, $t2003 + 86400);
expect('memos.pdb', 'baktime', $memos->{baktime}, $t2003 + 2 * 86400);
expect('memos.pdb', 'modnum', $memos->{modnum}, 5);
expect('memos.pdb', 'type', $memos->{type}, 'DATA');
expect('memos.pdb', 'creator', $memos->{creator}, 'memo');
expect('memos.pdb', 'uniqueIDseed', $memos->{uniqueIDseed}, 0x1234);
expect('memos.pdb', 'AppInfo', $memos->{appinfo}, 'appinfo');
my @records = @{ $memos->{records} };
expect('memos.pdb', 'record count', scalar @records, 3);
my @want = (['first', 0x101, 3, 'dirty'], ['second', 0x102, 1, 'private'], ['third!!', 0x103, 0, '']);
for my $i (0 .. $#want) {
    my ($data, $id, $category, $flag) = @{ $want[$i] };
    my $r = $records[$i] or next;
    expect('memos.pdb', "record $i data", $r->{data}, $data);
    expect('memos.pdb', "record $i id", $r->{id}, $id);
    expect('memos.pdb', "record $i category", $r->{category}, $category);
    for my $name (qw(dirty private)) {
        expect('memos.pdb', "record $i $name", $r->{attributes}{$name} ? 1 : 0,
            $name eq $flag ? 1 : 0);
    }
}

my $plain = load('plain.pdb');
expect('plain.pdb', 'name', $plain->{name}, 'Plain Records');
expect('plain.pdb', 'AppInfo', defined $plain->{appinfo} ? 'present' : 'none', 'none');
expect('plain.pdb', 'creator', $plain->{creator}, 'KPln');
expect('plain.pdb', 'records', join(',', map { $_->{data} } @{ $plain->{records} }), 'only,two');

my $app = load('app.prc');
expect('app.prc', 'name', $app->{name}, 'Kestrel App');
expect('app.prc', 'resource flag', $app->{attributes}{ResDB} ? 1 : 0, 1);
expect('app.prc', 'version', $app->{version}, 3);
expect('app.prc', 'ctime', $app->{ctime}, $t2003);
expect('app.prc', 'type', $app->{type}, 'appl');
expect('app.prc', 'creator', $app->{creator}, 'KApp');
expect('app.prc', 'resources',
    join(',', map { "$_->{type}/$_->{id}/" . unpack('H*', $_->{data}) } @{ $app->{resources} }),
    'code/0/00000008,code/1/4e75,tSTR/1000/' . unpack('H*', "Kestrel\0"));

my $empty = load('empty.prc');
expect('empty.prc', 'name', $empty->{name}, 'Empty Resources');
expect('empty.prc', 'resources', scalar @{ $empty->{resources} }, 0);
expect('empty.prc', 'size', -s "$dir/empty.prc", 80);

if (@problems) {
    print "$_\n" for @problems;
    exit 1;
}
print "Palm::PDB reads all four databases as they were written\n";
